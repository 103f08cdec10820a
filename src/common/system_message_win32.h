// The system's own words for an error code, in the user's language.
#pragma once

#include <windows.h>

#include <string>

// "Access is denied." for ERROR_ACCESS_DENIED; empty for 0 or a code the
// system has no words for.
std::u16string systemMessage(DWORD code);
