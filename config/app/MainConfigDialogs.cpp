#include "config/app/MainConfigDialogs.h"

// Until the key dialogs and the macro manager are built, every dialog item
// behaves as a dialog left with CANCEL.
TDialogAssignResult AssignDialogFunctionToButton(MainConfigButtons &, int)
{
    return TDialogAssignResult::Cancelled;
}
