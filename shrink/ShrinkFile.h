// The job that shrinks one file in place: load it, keep the original under
// its backup name, write the half-size image under the file's own path.
#pragma once

#include "platform/mfc/AfxString.h"

void ShrinkFile(const CString& path);
