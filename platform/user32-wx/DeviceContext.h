// Device contexts for painting a window. A device context handle names the
// toolkit drawing context it wraps.
#pragma once

#include "platform/win32/WinTypes.h"

class wxDC;
class wxWindow;

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// Inside the toolkit's paint event of a window, painting goes to the part of
// it that needs repainting; elsewhere, to its whole client area.
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint);
void ValidatePaint(wxWindow* window);

// The toolkit context behind a handle from BeginPaint, or null.
wxDC* DcFromHdc(HDC hdc);

// Marks the span of a window's paint event, in which BeginPaint may answer it.
class PaintEventScope {
public:
    explicit PaintEventScope(wxWindow* window);
    ~PaintEventScope();
    PaintEventScope(const PaintEventScope&) = delete;
    PaintEventScope& operator=(const PaintEventScope&) = delete;

private:
    wxWindow* m_previous;
};
