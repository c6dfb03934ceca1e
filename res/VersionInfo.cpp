// The version record: 1.0.0.1, an application.
#include "res/ResourceData.h"

namespace {

const VersionString kVersionStrings[] = {
    {"FileDescription", "Halves the width and height of image files"},
    {"FileVersion", "1.0.0.1"},
    {"InternalName", "Dorvalune.exe"},
    {"OriginalFilename", "Dorvalune.exe"},
    {"ProductName", "Dorvalune"},
    {"ProductVersion", "1.0.0.1"},
};

}  // namespace

const VS_VERSIONINFO kVersionInfo = {
    {
        VS_FFI_SIGNATURE,
        VS_FFI_STRUCVERSION,
        0x00010000,  // file version 1.0 ...
        0x00000001,  // ... .0.1
        0x00010000,  // product version 1.0 ...
        0x00000001,  // ... .0.1
        VS_FFI_FILEFLAGSMASK,
        0,  // no flags
        VOS__WINDOWS32,
        VFT_APP,
        0,
        0,
        0,
    },
    "040704e4",  // German (Germany), code page 1252
    kVersionStrings,
    static_cast<WORD>(sizeof(kVersionStrings) / sizeof(kVersionStrings[0])),
    {0x0407, 0x04E4},
};
