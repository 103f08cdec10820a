// The security identifier Windows gives a service of its own ("NT SERVICE\name"),
// worked out from the name the way the system does, for a system that cannot
// look the name up (the service not yet registered, or no such lookup). Portable.
#pragma once

#include <string>
#include <string_view>

// "S-1-5-80-" and the five 32-bit words of the SHA-1 of the upper-cased name
// in UTF-16 LE. Letters are upper-cased as Windows does for the names a
// service may have: Basic Latin and Latin-1.
std::u16string serviceSidText(std::u16string_view serviceName);
