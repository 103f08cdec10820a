// char16_t and wchar_t are both UTF-16 units on Windows; this is the one
// place the two meet.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* wide(const char16_t* s)
{
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* wide(char16_t* s)
{
    return reinterpret_cast<wchar_t*>(s);
}
inline const char16_t* utf16(const wchar_t* s)
{
    return reinterpret_cast<const char16_t*>(s);
}
inline char16_t* utf16(wchar_t* s)
{
    return reinterpret_cast<char16_t*>(s);
}
