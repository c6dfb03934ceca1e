// The executable's resource section. Registered when the program starts, so
// the framework finds the dialog template, the icon and the version record
// by id as it would in the module.
#include "Win32Api.h"
#include "res/Resource.h"
#include "res/ResourceData.h"

namespace {

constexpr WORD kIcon = 3;
constexpr WORD kDialog = 5;
constexpr WORD kGroupIcon = 14;
constexpr WORD kVersion = 16;

const RESOURCE_ENTRY kResourceSection[] = {
    {kDialog, IDD_MAIN_DIALOG, LANG_GERMAN_GERMANY, &kMainDialogTemplate,
     sizeof(kMainDialogTemplate)},
    {kGroupIcon, IDI_APP_ICON, LANG_GERMAN_GERMANY, &kAppIconGroup, sizeof(kAppIconGroup)},
    {kIcon, 1, LANG_GERMAN_GERMANY, kAppIconImageData[0], sizeof(kAppIconImageData[0])},
    {kIcon, 2, LANG_GERMAN_GERMANY, kAppIconImageData[1], sizeof(kAppIconImageData[1])},
    {kIcon, 3, LANG_GERMAN_GERMANY, kAppIconImageData[2], sizeof(kAppIconImageData[2])},
    {kIcon, 4, LANG_GERMAN_GERMANY, kAppIconImageData[3], sizeof(kAppIconImageData[3])},
    {kIcon, 5, LANG_GERMAN_GERMANY, kAppIconImageData[4], sizeof(kAppIconImageData[4])},
    {kIcon, 6, LANG_GERMAN_GERMANY, kAppIconImageData[5], sizeof(kAppIconImageData[5])},
    {kIcon, 7, LANG_GERMAN_GERMANY, kAppIconImageData[6], sizeof(kAppIconImageData[6])},
    {kIcon, 8, LANG_GERMAN_GERMANY, kAppIconImageData[7], sizeof(kAppIconImageData[7])},
    {kIcon, 9, LANG_GERMAN_GERMANY, kAppIconImageData[8], sizeof(kAppIconImageData[8])},
    {kVersion, 1, LANG_GERMAN_GERMANY, &kVersionInfo, sizeof(kVersionInfo)},
};

const bool kRegistered = [] {
    RegisterModuleResources(kResourceSection,
                            sizeof(kResourceSection) / sizeof(kResourceSection[0]));
    return true;
}();

}  // namespace
