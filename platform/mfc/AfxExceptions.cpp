#include "platform/mfc/AfxExceptions.h"

void AfxThrowMemoryException() {
    throw new CMemoryException;
}

void AfxThrowOleException(HRESULT status) {
    throw new COleException(status);
}
