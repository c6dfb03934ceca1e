// The framework's exceptions that the image code raises. Like the framework's
// own, they are thrown as pointers to heap objects that the catcher deletes.
#pragma once

#include "Win32Api.h"

class CException {
public:
    virtual ~CException() = default;
    // Frees the exception object, as a catcher of the framework's exceptions must.
    void Delete() { delete this; }
    virtual const char* Describe() const = 0;
};

class CMemoryException : public CException {
public:
    const char* Describe() const override { return "Out of memory."; }
};

class COleException : public CException {
public:
    explicit COleException(HRESULT status) : m_sc(status) {}
    const char* Describe() const override { return "A path could not be converted."; }
    HRESULT m_sc;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowOleException(HRESULT status);
