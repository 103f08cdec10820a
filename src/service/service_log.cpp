#include "service/service_log.h"

#include <cstdio>
#include <string_view>

#include "common/strings.h"

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
// Each entry ends with an empty line, so a new one starts after this.
constexpr std::string_view entryBreak = "\r\n\r\n";

} // namespace

std::string serviceLogEntry(
    const DateTime& localTime, const std::u16string& caption, const std::u16string& message)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u  ", unsigned{localTime.year},
        unsigned{localTime.month}, unsigned{localTime.day}, unsigned{localTime.hour},
        unsigned{localTime.minute}, unsigned{localTime.second});
    std::string entry = stamp + utf8Of(caption) + "\r\n";
    // The report's own lines, each ended by CR LF whatever it held.
    std::string body = utf8Of(message);
    for (std::size_t start = 0; start <= body.size();) {
        std::size_t end = body.find('\n', start);
        std::string_view line
            = std::string_view(body).substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // An empty line inside a report would read as the end of the entry.
        entry.append(line.empty() ? " " : line).append("\r\n");
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return entry + "\r\n";
}

std::string appendToServiceLog(const std::string& log, const std::string& entry, std::size_t limit)
{
    std::string_view kept = log;
    if (kept.substr(0, byteOrderMark.size()) == byteOrderMark) kept.remove_prefix(byteOrderMark.size());
    if (byteOrderMark.size() + kept.size() + entry.size() > limit) {
        // The first entry that starts in the newer half: its break before it
        // ends there or later.
        std::size_t half = kept.size() / 2;
        std::size_t next = kept.find(entryBreak, half >= entryBreak.size() ? half - entryBreak.size() : 0);
        kept = next == std::string_view::npos ? std::string_view() : kept.substr(next + entryBreak.size());
        // Still too long: the entry is all that fits.
        if (byteOrderMark.size() + kept.size() + entry.size() > limit) kept = {};
    }
    std::string result(byteOrderMark);
    result.append(kept).append(entry);
    return result;
}
