// On Windows the resource compiler puts the icon group and the version record
// into the executable (Dorvalune.rc.in); the dialog template stays data,
// which the framework turns into an in-memory template when the dialog opens.
#include "res/MainDialog.h"
#include "res/Resource.h"

namespace {

const bool kRegistered = [] {
    AfxRegisterDialogTemplate(IDD_MAIN_DIALOG, &kMainDialogTemplate);
    return true;
}();

}  // namespace
