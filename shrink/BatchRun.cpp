#include "shrink/BatchRun.h"

#include "shrink/ShrinkFile.h"

void RunBatch(const CFileListSource& list) {
    // One string receives each entry in turn and lives for the whole run.
    CString path;
    for (int i = 0; i < list.GetCount(); ++i) {
        list.GetText(i, path);
        ShrinkFile(path);
    }
}
