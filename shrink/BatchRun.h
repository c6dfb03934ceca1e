// The batch run behind "OK": every entry of the file list, first to last,
// through the file job.
#pragma once

#include "platform/mfc/AfxString.h"

// The list the run walks. Its number of entries is asked again before every
// step, so a list that changes during the run is followed as it stands.
class CFileListSource {
public:
    virtual ~CFileListSource() = default;
    virtual int GetCount() const = 0;
    virtual void GetText(int index, CString& text) const = 0;
};

// Hands every entry to ShrinkFile, in the list's order.
void RunBatch(const CFileListSource& list);
