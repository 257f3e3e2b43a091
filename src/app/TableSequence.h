// The table sequence that a real run installs in the progress window: the
// repair layer's sequence for the data set's format, given the window's
// repair context.
#ifndef REMDO_APP_TABLESEQUENCE_H_
#define REMDO_APP_TABLESEQUENCE_H_

#include "app/MainForm.h"

namespace remdo::app {

TMainForm::TTableSequence RepairTableSequence();

}  // namespace remdo::app

#endif  // REMDO_APP_TABLESEQUENCE_H_
