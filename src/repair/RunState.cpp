// Operations on the shared run state.
#include "repair/RunState.h"

namespace remdo::repair {

void AppendToNameList(std::string& list, const std::string& name) {
  if (!list.empty()) list += ',';
  list += name;
}

}  // namespace remdo::repair
