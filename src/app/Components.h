// The state records of the progress window's components: what each shows
// and whether it is enabled and visible, with its place in the client area.
// The model changes them; a front-end renders them.
#ifndef REMDO_APP_COMPONENTS_H_
#define REMDO_APP_COMPONENTS_H_

#include <string>
#include <vector>

namespace remdo::app {

// Colours by role; a front-end maps them to its own.
enum class TColour { kDefault, kNavy, kAqua, kTeal, kButtonFace };

// Place in the window's client area, in pixels.
struct TBounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// One component. Fields that a kind does not use stay at their defaults:
// check boxes use checked, the progress bar position, memos lines.
struct TControl {
  std::string caption;
  bool checked = false;
  bool enabled = true;
  bool visible = true;
  TBounds bounds;
  TColour colour = TColour::kDefault;
  int position = 0;
  std::vector<std::string> lines;
};

struct TTimer {
  int interval = 500;  // milliseconds
  bool enabled = true;
};

}  // namespace remdo::app

#endif  // REMDO_APP_COMPONENTS_H_
