// Message maps: each class lists the messages and commands it handles, and
// chains to its base class's map. Dispatch walks the chain from the most
// derived map up and calls the first matching handler.
#pragma once

#include "UserApi.h"

#define afx_msg

class CCmdTarget;
class CWnd;

using AFX_PMSG = void (CCmdTarget::*)();

// How a handler is called, and what it returns.
enum AfxSig : UINT {
    AfxSig_end = 0,  // ends a map
    AfxSig_vv,       // void handler()
    AfxSig_hv,       // HCURSOR handler()
    AfxSig_lwl,      // LRESULT handler(WPARAM, LPARAM)
    AfxSigCmd_v,     // void handler(), for a command
};

// The handler, in the member that nSig names.
union AFX_PMSG_ANY {
    AFX_PMSG pfn;                              // AfxSig_vv, AfxSigCmd_v
    HCURSOR (CWnd::*pfn_hv)();                 // AfxSig_hv
    LRESULT (CWnd::*pfn_lwl)(WPARAM, LPARAM);  // AfxSig_lwl
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;    // control notification code, for WM_COMMAND
    UINT nID;      // first control or command id, for WM_COMMAND
    UINT nLastID;  // last id of the range
    UINT_PTR nSig;
    AFX_PMSG_ANY pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

constexpr UINT CN_COMMAND = 0;

// The framework's command ids.
constexpr UINT ID_HELP = 0xE146;

// clang-format off
#define DECLARE_MESSAGE_MAP()                                                  \
protected:                                                                     \
    static const AFX_MSGMAP* GetThisMessageMap();                              \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                 \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                        \
        return GetThisMessageMap();                                            \
    }                                                                          \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                          \
        using ThisClass [[maybe_unused]] = theClass;                           \
        using TheBaseClass = baseClass;                                        \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                      \
            {0, 0, 0, 0, AfxSig_end, {nullptr}}};                              \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                              &_messageEntries[0]};            \
        return &messageMap;                                                    \
    }

#define ON_COMMAND(id, memberFxn)                                              \
    {WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id),     \
     AfxSigCmd_v, {.pfn = static_cast<AFX_PMSG>(memberFxn)}},

#define ON_CONTROL(wNotifyCode, id, memberFxn)                                 \
    {WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id),        \
     static_cast<UINT>(id), AfxSigCmd_v,                                       \
     {.pfn = static_cast<AFX_PMSG>(memberFxn)}},

#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

#define ON_MESSAGE(message, memberFxn)                                         \
    {message, 0, 0, 0, AfxSig_lwl,                                             \
     {.pfn_lwl = static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(memberFxn)}},

#define ON_WM_PAINT()                                                          \
    {WM_PAINT, 0, 0, 0, AfxSig_vv,                                             \
     {.pfn = static_cast<AFX_PMSG>(                                            \
          static_cast<void (CWnd::*)()>(&ThisClass::OnPaint))}},

#define ON_WM_QUERYDRAGICON()                                                  \
    {WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv,                                     \
     {.pfn_hv = static_cast<HCURSOR (CWnd::*)()>(&ThisClass::OnQueryDragIcon)}},
// clang-format on
