// The main dialog's template, as data that both platforms build the dialog
// from.
#pragma once

#include "platform/mfc/gui/DialogTemplate.h"

extern const DLGTEMPLATEEX kMainDialogTemplate;
