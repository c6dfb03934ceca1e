// The root of the classes that receive commands through a message map.
#pragma once

#include "platform/mfc/gui/AfxMsg.h"

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Calls the handler of the command (id and notification code) that the
    // message map chain holds; FALSE when there is none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // The first entry for message, notification code and id along the chain.
    static const AFX_MSGMAP_ENTRY* FindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT nCode,
                                                    UINT nID);
};
