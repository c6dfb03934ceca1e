// Identifiers of the program's resources and dialog controls.
#pragma once

#define IDD_MAIN_DIALOG 102
#define IDI_APP_ICON 128
#define IDC_FILE_LIST 1000
#define IDC_ADD_BITMAPS 1002

// The language of every resource: German (Germany).
#define LANG_GERMAN_GERMANY 0x0407
