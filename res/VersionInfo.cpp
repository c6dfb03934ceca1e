// The version record of the application, from the build's version number.
#include "res/ResourceData.h"
#include "res/Version.h"
#include "res/VersionStrings.h"

namespace {

const VersionString kVersionStrings[] = {
    {"FileDescription", DORVALUNE_FILE_DESCRIPTION}, {"FileVersion", DORVALUNE_VERSION_TEXT},
    {"InternalName", DORVALUNE_INTERNAL_NAME},       {"OriginalFilename", DORVALUNE_INTERNAL_NAME},
    {"ProductName", DORVALUNE_PRODUCT_NAME},         {"ProductVersion", DORVALUNE_VERSION_TEXT},
};

}  // namespace

const VS_VERSIONINFO kVersionInfo = {
    {
        VS_FFI_SIGNATURE,
        VS_FFI_STRUCVERSION,
        kVersionMajor << 16 | kVersionMinor,  // file version, high and low half
        kVersionPatch << 16 | kVersionTweak,
        kVersionMajor << 16 | kVersionMinor,  // product version
        kVersionPatch << 16 | kVersionTweak,
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
