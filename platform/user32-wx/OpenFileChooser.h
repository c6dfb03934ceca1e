// Who answers an open-file dialog: the desktop's native file chooser, or, in
// tests, a stand-in that answers without a person.
#pragma once

#include <string>
#include <vector>

#include "platform/user32-wx/CommDlg.h"

class COpenFileChooser {
public:
    virtual ~COpenFileChooser() = default;
    // The full paths the user chose, or false when the dialog was cancelled.
    virtual bool Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) = 0;
};

// The native GTK file chooser, modal to the record's owner.
class CNativeOpenFileChooser : public COpenFileChooser {
public:
    bool Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) override;
};

// The chooser GetOpenFileNameA asks; the native one unless a test put
// another in its place. Null puts the native one back.
COpenFileChooser& AfxGetOpenFileChooser();
void AfxSetOpenFileChooserForTesting(COpenFileChooser* chooser);
