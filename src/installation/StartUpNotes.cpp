// The start-up notes, kept for the life of the process until the run takes
// them.
#include "installation/StartUpNotes.h"

#include <utility>

namespace remdo::installation {

namespace {

std::vector<std::string>& Notes() {
  static std::vector<std::string> notes;
  return notes;
}

}  // namespace

void AddStartUpNote(std::string line) { Notes().push_back(std::move(line)); }

std::vector<std::string> TakeStartUpNotes() { return std::exchange(Notes(), {}); }

}  // namespace remdo::installation
