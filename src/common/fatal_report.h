// The fatal report: its wording, and where it goes in a process nobody sees.
// The unit names and the call that ends the program are in failure.h.
// Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <string>

#include "common/failure.h"

// Where the report goes instead of a message box, in a process that nobody
// sees (the service): the sink gets the report's words and caption, and the
// process ends with exit code 1 once it returns, as it would after the box.
using FatalReportSink = void (*)(const std::u16string& message, const std::u16string& caption);
void sendFatalReportsTo(FatalReportSink sink);

// The report's text, cut to the 400-character buffer it is shown from:
// text 21, the line, text 22, the unit, separated by CR LF, then the detail
// on a fifth line when there is one. The four lines come first: the detail
// gets what room is left.
inline constexpr std::size_t fatalMessageCapacity = 400;
std::u16string fatalMessage(const char16_t* unit, const char16_t* line, const std::u16string& detail = u"");
std::u16string fatalCaption();
