#include "image/CWideText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "platform/mfc/AfxExceptions.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/LastError.h"

namespace {

std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// What constructing CWideText raises: the framework's memory exception, its
// OLE exception with a status, or nothing.
struct Raised {
    enum Kind { Nothing, MemoryException, OleException } kind;
    HRESULT status;
};

bool operator==(const Raised& a, const Raised& b) {
    return a.kind == b.kind && a.status == b.status;
}

void PrintTo(const Raised& raised, std::ostream* out) {
    const char* kinds[] = {"nothing", "memory exception", "OLE exception"};
    *out << kinds[raised.kind] << " 0x" << std::hex << static_cast<DWORD>(raised.status);
}

Raised RaisedBy(const char* text, UINT codePage) {
    try {
        const CWideText wide(text, codePage);
    } catch (CMemoryException* e) {
        e->Delete();
        return {Raised::MemoryException, S_OK};
    } catch (COleException* e) {
        const HRESULT status = e->m_sc;
        e->Delete();
        return {Raised::OleException, status};
    }
    return {Raised::Nothing, S_OK};
}

Raised OleException(HRESULT status) {
    return {Raised::OleException, status};
}

TEST(CWideTextTest, NullTextGivesANullResult) {
    const CWideText wide(nullptr, CP_THREAD_ACP);
    EXPECT_EQ(wide.Get(), nullptr);
    EXPECT_EQ(static_cast<LPCWSTR>(wide), nullptr);
}

TEST(CWideTextTest, TextsOfUpTo127BytesConvertInlineAndLongerOnesOnTheHeap) {
    struct Case {
        size_t bytes;
        bool inlineBuffer;
    };
    const Case cases[] = {{0, true},    {1, true},    {126, true},  {127, true},
                          {128, false}, {129, false}, {4096, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::string text;
        for (size_t i = 0; i < c.bytes; ++i)
            text += static_cast<char>('a' + i % 26);
        const CWideText wide(text.c_str(), CP_THREAD_ACP);
        EXPECT_EQ(wide.UsesInlineBuffer(), c.inlineBuffer);
        // The terminator is converted too.
        EXPECT_EQ(std::u16string(wide.Get(), c.bytes + 1), Widen(text) + u'\0');
    }
}

TEST(CWideTextTest, TheInlineLimitCountsBytesNotCharacters) {
    // 63 two-byte letters and one byte: 127 bytes in 64 characters.
    std::string fits;
    std::u16string fitsWide;
    for (int i = 0; i < 63; ++i) {
        fits += "ö";
        fitsWide += u'ö';
    }
    fits += "x";
    fitsWide += u'x';
    const CWideText inlineText(fits.c_str(), CP_UTF8);
    EXPECT_TRUE(inlineText.UsesInlineBuffer());
    EXPECT_EQ(std::u16string(inlineText.Get()), fitsWide);

    // One more byte needs the heap, though 65 characters would fit inline.
    const std::string longer = fits + "y";
    const CWideText heapText(longer.c_str(), CP_UTF8);
    EXPECT_FALSE(heapText.UsesInlineBuffer());
    EXPECT_EQ(std::u16string(heapText.Get()), fitsWide + u'y');
}

TEST(CWideTextTest, BytesThatAreNotUtf8SurviveTheWayToUtf16AndBack) {
    const std::string paths[] = {
        "/pics/\xE9t\xE9.bmp",              // Latin-1
        "/pics/\xED\xA0\x80.bmp",           // encoded surrogate
        "/pics/\xC0\xAF.bmp",               // overlong slash
        std::string(200, '\xFF') + ".bmp",  // on the heap
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const CWideText wide(path.c_str(), CP_THREAD_ACP);
        char back[512];
        ASSERT_GT(
            WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, back, sizeof(back), nullptr, nullptr),
            0);
        EXPECT_EQ(std::string(back), path);
    }
}

TEST(CWideTextTest, AFailedConversionRaisesTheOleExceptionWithTheLastErrorAsStatus) {
    const std::string longText(300, 'a');
    for (const char* text : {"a.bmp", longText.c_str()}) {
        SCOPED_TRACE(text == longText.c_str() ? "heap buffer" : "inline buffer");
        // Windows-1252 is not installed: ERROR_INVALID_PARAMETER (87).
        EXPECT_EQ(RaisedBy(text, 1252), OleException(static_cast<HRESULT>(0x80070057u)));
    }
}

TEST(CWideTextTest, TheStatusIsTheErrorInTheWin32FacilityUnlessItIsOneAlready) {
    struct Case {
        DWORD error;
        Raised raised;
    };
    const Case cases[] = {
        {ERROR_NO_UNICODE_TRANSLATION, OleException(static_cast<HRESULT>(0x80070459u))},
        {ERROR_NOT_ENOUGH_MEMORY, OleException(static_cast<HRESULT>(0x80070008u))},
        // Only the low word of an error is kept.
        {0x0012ABCDu, OleException(static_cast<HRESULT>(0x8007ABCDu))},
        {static_cast<DWORD>(E_FAIL), OleException(E_FAIL)},
        {ERROR_SUCCESS, OleException(S_OK)},
        // ERROR_OUTOFMEMORY (14) makes E_OUTOFMEMORY.
        {ERROR_OUTOFMEMORY, {Raised::MemoryException, S_OK}},
        {static_cast<DWORD>(E_OUTOFMEMORY), {Raised::MemoryException, S_OK}},
    };
    const std::string longText(300, 'a');
    for (const Case& c : cases) {
        for (const char* text : {"a.bmp", longText.c_str()}) {
            SCOPED_TRACE(testing::Message()
                         << "error " << c.error << ", " << std::strlen(text) << " bytes");
            win32_testing::FailNextMultiByteToWideChar(c.error);
            EXPECT_EQ(RaisedBy(text, CP_THREAD_ACP), c.raised);
        }
    }
}

}  // namespace
