// The program's resources as data; on Linux, ResourceSection.cpp makes them
// the executable's resource section.
#pragma once

#include "Win32Api.h"
#include "res/MainDialog.h"

extern const GRPICONDIR kAppIconGroup;
// The RT_ICON images of the group, by image id 1 to 9.
extern const char* const* const kAppIconImageData[9];
extern const VS_VERSIONINFO kVersionInfo;
