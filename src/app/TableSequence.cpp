// The table sequence of a real run.
#include "app/TableSequence.h"

#include "repair/TableSequence.h"

namespace remdo::app {

TMainForm::TTableSequence RepairTableSequence() {
  return [](TMainForm& form) { repair::RunTableSequence(form.Repair); };
}

}  // namespace remdo::app
