#include "common/strings.h"

#include <cstdlib>
#include <cstring>

#include "common/failure.h"

// ---- memory -------------------------------------------------------------------

void* memAlloc(std::uint32_t size)
{
    // malloc(0) may answer null without failing; ask for one byte instead.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) fatalError(unit::library, u"191");
    return block;
}

void* memRealloc(void* block, std::uint32_t size)
{
    void* resized = std::realloc(block, size == 0 ? 1 : size);
    if (resized == nullptr) fatalError(unit::library, u"198");
    return resized;
}

void memFree(void* block)
{
    std::free(block);
}

void memCopy(void* destination, const void* source, std::uint32_t count)
{
    if (count != 0) std::memmove(destination, source, count);
}

void memZero(void* block, std::uint32_t count)
{
    if (count != 0) std::memset(block, 0, count);
}

// ---- strings ------------------------------------------------------------------

std::uint32_t wstrLength(const char16_t* s)
{
    std::uint32_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

bool wstrIsSpace(char16_t unit)
{
    return unit == 32 || (unit >= 9 && unit <= 13);
}

void wstrCopyN(char16_t* destination, const char16_t* source, std::uint32_t n)
{
    std::uint32_t i = 0;
    for (; i < n && source[i] != 0; ++i) destination[i] = source[i];
    destination[i] = 0;
}

void wstrCopy(char16_t* destination, const char16_t* source)
{
    // The source may lie inside the destination (the trims copy back over
    // themselves), so move rather than copy.
    std::memmove(destination, source, (wstrLength(source) + 1) * sizeof(char16_t));
}

char16_t* wstrAppend(char16_t* destination, const char16_t* source)
{
    wstrCopy(destination + wstrLength(destination), source);
    return destination;
}

std::int16_t wstrCompare(const char16_t* a, const char16_t* b)
{
    std::size_t i = 0;
    while (a[i] == b[i]) {
        if (a[i] == 0) return 0;
        ++i;
    }
    return static_cast<std::int16_t>(static_cast<std::int16_t>(a[i]) - static_cast<std::int16_t>(b[i]));
}

char16_t* wstrTrimLeft(char16_t* s)
{
    std::uint32_t start = 0;
    while (wstrIsSpace(s[start])) ++start;
    if (start != 0) wstrCopy(s, s + start);
    return s;
}

char16_t* wstrTrimRight(char16_t* s)
{
    std::uint32_t n = wstrLength(s);
    while (n > 0 && wstrIsSpace(s[n - 1])) s[--n] = 0;
    return s;
}

char16_t* wstrTrim(char16_t* s)
{
    return wstrTrimRight(wstrTrimLeft(s));
}

void appendBackslash(char16_t* path)
{
    std::uint32_t n = wstrLength(path);
    if (n == 0 || path[n - 1] != u'\\') {
        path[n] = u'\\';
        path[n + 1] = 0;
    }
}

void appendBackslash(std::u16string& path)
{
    if (path.empty() || path.back() != u'\\') path += u'\\';
}

std::u16string extendedLengthPath(const char16_t* path)
{
    std::u16string text = path;
    if (text.starts_with(u"\\\\?\\")) return text;
    if (text.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + text.substr(2);
    if (text.size() >= 2 && text[1] == u':') return u"\\\\?\\" + text;
    return text;
}

std::u16string cutText(std::u16string text, std::size_t capacity)
{
    if (text.size() <= capacity) return text;
    std::size_t cut = capacity;
    if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    text.resize(cut);
    return text;
}

std::u16string asciiText(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string decimalText(std::int64_t number)
{
    return asciiText(std::to_string(number));
}

std::u16string withValue(std::u16string text, const std::u16string& value)
{
    if (const std::size_t mark = text.find(u"%1"); mark != std::u16string::npos) text.replace(mark, 2, value);
    return text;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::string utf8Of(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code <= 0xDFFF)
            code = 0xFFFD;
        appendUtf8(out, code);
    }
    return out;
}
