#include "platform/user32-wx/DeviceContext.h"

#include <wx/dcclient.h>
#include <wx/window.h>

#include <cstdint>
#include <memory>

#include "platform/user32-wx/User32.h"

namespace {

// The first word of a device context handle tells its kind; the memory DCs
// of the GDI layer carry a different mark, so neither takes the other's.
constexpr std::uint32_t kPaintDcMagic = 0x50544443;  // "PTDC"

struct PaintDc {
    std::uint32_t magic = kPaintDcMagic;
    std::unique_ptr<wxDC> dc;
};

wxWindow* g_painting = nullptr;

}  // namespace

PaintEventScope::PaintEventScope(wxWindow* window) : m_previous(g_painting) {
    g_painting = window;
}

PaintEventScope::~PaintEventScope() {
    g_painting = m_previous;
}

HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint) {
    wxWindow* window = WindowFromHwnd(hWnd);
    if (window == nullptr || paint == nullptr)
        return nullptr;
    auto context = std::make_unique<PaintDc>();
    if (window == g_painting) {
        context->dc = std::make_unique<wxPaintDC>(window);
    } else {
        context->dc = std::make_unique<wxClientDC>(window);
    }
    const wxSize size = window->GetClientSize();
    *paint = {};
    paint->fErase = TRUE;
    paint->rcPaint = {0, 0, size.GetWidth(), size.GetHeight()};
    paint->hdc = reinterpret_cast<HDC>(context.release());
    return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint == nullptr || DcFromHdc(paint->hdc) == nullptr)
        return FALSE;
    delete reinterpret_cast<PaintDc*>(paint->hdc);
    return TRUE;
}

void ValidatePaint(wxWindow* window) {
    PAINTSTRUCT paint;
    if (BeginPaint(HwndFromWindow(window), &paint) != nullptr)
        EndPaint(HwndFromWindow(window), &paint);
}

wxDC* DcFromHdc(HDC hdc) {
    const auto* context = reinterpret_cast<const PaintDc*>(hdc);
    if (context == nullptr || context->magic != kPaintDcMagic)
        return nullptr;
    return context->dc.get();
}
