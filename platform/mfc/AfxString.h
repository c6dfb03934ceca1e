// The framework's string classes: CString over narrow text (the ANSI code
// page, UTF-8 here) and CStringW over UTF-16. Growth that the heap refuses
// raises the framework's memory exception.
#pragma once

#include <string>

#include "Win32Api.h"
#include "platform/mfc/AfxExceptions.h"

template <typename Char>
class CStringT {
public:
    using XCHAR = Char;
    using PCXSTR = const Char*;

    CStringT() = default;
    CStringT(PCXSTR text) { Assign(text, Length(text)); }
    CStringT(PCXSTR text, int length) {
        Assign(text, length < 0 ? 0 : static_cast<size_t>(length));
    }
    CStringT(const CStringT&) = default;
    CStringT& operator=(const CStringT&) = default;
    CStringT& operator=(PCXSTR text) {
        Assign(text, Length(text));
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    PCXSTR GetString() const { return m_text.c_str(); }
    operator PCXSTR() const { return m_text.c_str(); }
    Char operator[](int index) const { return m_text[static_cast<size_t>(index)]; }
    Char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }

    // Index of the last occurrence of ch, or -1.
    int ReverseFind(Char ch) const {
        const size_t at = m_text.rfind(ch);
        return at == std::basic_string<Char>::npos ? -1 : static_cast<int>(at);
    }
    int Find(Char ch, int start = 0) const {
        if (start < 0 || start > GetLength())
            return -1;
        const size_t at = m_text.find(ch, static_cast<size_t>(start));
        return at == std::basic_string<Char>::npos ? -1 : static_cast<int>(at);
    }
    // Inserts text before index (clamped to the ends); returns the new length.
    int Insert(int index, PCXSTR text) {
        if (index < 0)
            index = 0;
        if (index > GetLength())
            index = GetLength();
        Guard([&] { m_text.insert(static_cast<size_t>(index), text); });
        return GetLength();
    }
    CStringT Mid(int first) const { return Mid(first, GetLength() - first); }
    CStringT Mid(int first, int count) const {
        if (first < 0)
            first = 0;
        if (first > GetLength())
            first = GetLength();
        if (count < 0)
            count = 0;
        if (count > GetLength() - first)
            count = GetLength() - first;
        return CStringT(m_text.c_str() + first, count);
    }
    CStringT Left(int count) const { return Mid(0, count); }

    // The next token from start on, separated by any of the characters of
    // tokens; empty pieces are skipped. Sets start to -1 after the last one.
    CStringT Tokenize(PCXSTR tokens, int& start) const {
        if (start < 0)
            return CStringT();
        const std::basic_string<Char> separators(tokens);
        size_t from = m_text.find_first_not_of(separators, static_cast<size_t>(start));
        if (from == std::basic_string<Char>::npos) {
            start = -1;
            return CStringT();
        }
        size_t to = m_text.find_first_of(separators, from);
        if (to == std::basic_string<Char>::npos)
            to = m_text.size();
        start = static_cast<int>(to < m_text.size() ? to + 1 : to);
        return CStringT(m_text.c_str() + from, static_cast<int>(to - from));
    }

    // Compares ignoring the case of letters: <0, 0 or >0.
    int CompareNoCase(PCXSTR other) const {
        const Char* a = m_text.c_str();
        const Char* b = other;
        for (;; ++a, ++b) {
            const auto x = Fold(*a);
            const auto y = Fold(*b);
            if (x != y)
                return x < y ? -1 : 1;
            if (*a == 0)
                return 0;
        }
    }
    int Compare(PCXSTR other) const { return m_text.compare(other); }

    CStringT& operator+=(PCXSTR text) {
        Guard([&] { m_text.append(text); });
        return *this;
    }
    CStringT& operator+=(Char ch) {
        Guard([&] { m_text.push_back(ch); });
        return *this;
    }
    friend CStringT operator+(const CStringT& a, PCXSTR b) {
        CStringT result(a);
        result += b;
        return result;
    }
    friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CStringT& a, PCXSTR b) { return a.m_text == b; }

private:
    static size_t Length(PCXSTR text) {
        return text == nullptr ? 0 : std::char_traits<Char>::length(text);
    }
    // Folds the letters A to Z and the Latin-1 and other cased letters that
    // towlower knows; other characters compare by their code.
    static unsigned long Fold(Char ch);
    template <typename F>
    void Guard(F&& f) {
        try {
            f();
        } catch (const std::bad_alloc&) {
            AfxThrowMemoryException();
        }
    }
    void Assign(PCXSTR text, size_t length) {
        Guard([&] {
            if (text == nullptr) {
                m_text.clear();
            } else {
                m_text.assign(text, length);
            }
        });
    }

    std::basic_string<Char> m_text;
};

using CString = CStringT<char>;
using CStringW = CStringT<WCHAR>;

template <>
unsigned long CStringT<char>::Fold(char ch);
template <>
unsigned long CStringT<WCHAR>::Fold(WCHAR ch);
