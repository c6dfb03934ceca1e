// What the GDI stand-in can tell about itself, for checks that objects are
// not leaked: how many memory device contexts and DIB sections exist now.
#pragma once

namespace win32_diagnostics {
int LiveDeviceContexts();
int LiveSections();
}  // namespace win32_diagnostics
