// The scenario file read into snapshots or a timeline: its words, its
// directives and their fields, each mistake named with its line.
#include "monitor/sim/scripted_spooler.h"

#include <algorithm>
#include <charconv>

namespace {

struct Word {
    std::string text;
    bool quoted = false; // some part of it was between quotes
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Splits a line into words; a quoted part may hold blanks and ends at the
// next quote, without escapes. False when a quote is left open.
bool splitWords(std::string_view line, std::vector<Word>& words)
{
    std::size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        Word word;
        while (i < line.size() && !isBlank(line[i])) {
            if (line[i] != '"') {
                word.text.push_back(line[i++]);
                continue;
            }
            std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            word.text.append(line.substr(i + 1, close - i - 1));
            word.quoted = true;
            i = close + 1;
        }
        words.push_back(std::move(word));
    }
    return true;
}

bool parseNumber(std::string_view text, std::uint32_t& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// A fixed-width decimal field of a date-time.
bool parseField(std::string_view text, std::uint16_t& value)
{
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = static_cast<std::uint16_t>(value * 10 + (c - '0'));
    }
    return !text.empty();
}

// Sunday = 0, as SYSTEMTIME counts.
std::uint16_t dayOfWeek(int year, int month, int day)
{
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return static_cast<std::uint16_t>(
        (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7);
}

int daysInMonth(int year, int month)
{
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// YYYY-MM-DDTHH:MM:SS.mmm
bool parseTime(std::string_view text, DateTime& time)
{
    if (text.size() != 23 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':'
        || text[16] != ':' || text[19] != '.')
        return false;
    if (!parseField(text.substr(0, 4), time.year) || !parseField(text.substr(5, 2), time.month)
        || !parseField(text.substr(8, 2), time.day) || !parseField(text.substr(11, 2), time.hour)
        || !parseField(text.substr(14, 2), time.minute) || !parseField(text.substr(17, 2), time.second)
        || !parseField(text.substr(20, 3), time.milliseconds))
        return false;
    if (time.year < 1601 || time.month < 1 || time.month > 12 || time.day < 1
        || time.day > daysInMonth(time.year, time.month) || time.hour > 23 || time.minute > 59
        || time.second > 59)
        return false;
    time.dayOfWeek = dayOfWeek(time.year, time.month, time.day);
    return true;
}

JobRecord defaultJob()
{
    JobRecord job;
    job.hasDevMode = true;
    job.submitted = {2026, 1, 4, 1, 0, 0, 0, 0}; // 2026-01-01T00:00:00.000, a Thursday
    return job;
}

// color=yes|no, duplex=none|long|short, papersize=N, form="NAME": the
// device mode's colour, sides, paper and form, their flags set. "unknown" when the key is neither; empty on
// success.
std::string parseDeviceModeWord(const std::string& key, std::string_view value, JobRecord& job)
{
    if (key == "color") {
        if (value != "yes" && value != "no") return "color wants yes or no";
        job.details.dmColor = value == "yes" ? 2 : 1;
        job.dmFields |= deviceModeColor;
        return {};
    }
    if (key == "duplex") {
        if (value != "none" && value != "long" && value != "short") return "duplex wants none, long or short";
        job.details.dmDuplex = value == "none" ? 1 : value == "long" ? 2 : 3;
        job.dmFields |= deviceModeDuplex;
        return {};
    }
    if (key == "form") {
        std::u16string text;
        if (!utf8ToUtf16(value, text) || text.size() > 31) return "form wants a name of 31 units at most";
        job.details.dmFormName = text;
        job.dmFields |= deviceModeFormName;
        return {};
    }
    if (key == "papersize") {
        int number = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (error != std::errc() || end != value.data() + value.size() || number < -32768 || number > 32767)
            return "papersize wants a number";
        job.details.dmPaperSize = static_cast<std::int16_t>(number);
        job.dmFields |= deviceModePaperSize;
        return {};
    }
    return "unknown";
}

// status=, printed=, total=, size= and copies=: the field they set.
std::string takeNumber(const std::string& key, std::uint32_t number, JobRecord& job, JobField& field)
{
    if (key == "status") {
        job.status = number;
        field = JobField::status;
    } else if (key == "printed") {
        job.pagesPrinted = number;
        field = JobField::pagesPrinted;
    } else if (key == "total") {
        job.totalPages = number;
        field = JobField::totalPages;
    } else if (key == "size") {
        job.size = number;
        field = JobField::totalBytes;
    } else if (key == "copies") {
        if (number > 0x7FFF) return "copies out of range";
        job.dmFields |= deviceModeCopies;
        job.dmCopies = static_cast<std::int16_t>(number);
        field = JobField::devMode;
    } else
        return "unknown key " + key;
    return {};
}

// Fills a job from its key=value words, from words[first] on, noting which
// fields they give. An empty result means success.
std::string parseJobFields(
    const std::vector<Word>& words, std::size_t first, JobRecord& job, std::vector<JobField>* given = nullptr)
{
    auto note = [given](JobField field) {
        if (given && std::find(given->begin(), given->end(), field) == given->end()) given->push_back(field);
    };
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        if (word == "nodevmode") {
            job.hasDevMode = false;
            job.dmFields = 0;
            note(JobField::devMode);
            continue;
        }
        std::size_t equals = word.find('=');
        if (equals == std::string::npos) return "unknown word " + word;
        std::string key = word.substr(0, equals);
        std::string_view value = std::string_view(word).substr(equals + 1);
        std::u16string text;
        if (std::string problem = parseDeviceModeWord(key, value, job); problem != "unknown") {
            if (!problem.empty()) return problem;
            note(JobField::devMode);
            continue;
        }
        if (key == "user" || key == "machine" || key == "document") {
            if (!utf8ToUtf16(value, text)) return "malformed UTF-8 in " + key;
            (key == "user" ? job.userName : key == "machine" ? job.machineName : job.document) = text;
            note(key == "user"         ? JobField::userName
                    : key == "machine" ? JobField::machineName
                                       : JobField::document);
            continue;
        }
        if (key == "submitted") {
            if (!parseTime(value, job.submitted)) return "submitted wants YYYY-MM-DDTHH:MM:SS.mmm";
            note(JobField::submitted);
            continue;
        }
        std::uint32_t number = 0;
        if (!parseNumber(value, number)) return "not a number: " + word;
        JobField field = JobField::status;
        if (std::string problem = takeNumber(key, number, job, field); !problem.empty()) return problem;
        note(field);
    }
    // nodevmode wins over copies, whatever their order.
    if (!job.hasDevMode) {
        job.dmFields = 0;
        job.dmCopies = 0;
        job.details = DeviceModeDetails();
    }
    return {};
}

std::string parseJob(const std::vector<Word>& words, const std::u16string& printerName, JobRecord& job)
{
    job = defaultJob();
    job.printerName = printerName;
    if (words.size() < 2 || !parseNumber(words[1].text, job.jobId)) return "job needs a numeric id";
    return parseJobFields(words, 2, job);
}

// Milliseconds with an optional fraction, as microseconds.
bool parseMilliseconds(std::string_view text, std::uint64_t& microseconds)
{
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    std::uint32_t milliseconds = 0;
    if (!parseNumber(whole, milliseconds) || whole.starts_with("0x") || fraction.size() > 3) return false;
    if (dot != std::string_view::npos && fraction.empty()) return false;
    std::uint64_t part = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        char c = k < fraction.size() ? fraction[k] : '0';
        if (c < '0' || c > '9') return false;
        part = part * 10 + static_cast<std::uint64_t>(c - '0');
    }
    microseconds = std::uint64_t{milliseconds} * 1000 + part;
    return true;
}

std::string parseTimelineHeader(const std::vector<Word>& words, Timeline& timeline)
{
    bool passGiven = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        std::uint32_t number = 0;
        if (word.starts_with("pass=")) {
            if (!parseMilliseconds(std::string_view(word).substr(5), timeline.pass) || timeline.pass == 0)
                return "pass= wants a positive number of milliseconds";
            passGiven = true;
        } else if (word == "notify=yes")
            timeline.notify = true;
        else if (word == "notify=unsupported")
            timeline.notify = false;
        else if (word == "merge")
            timeline.merge = true;
        else if (word == "clock=real")
            timeline.realClock = true;
        else if (word.starts_with("hold=") && parseNumber(std::string_view(word).substr(5), number))
            timeline.hold = number;
        else
            return "unknown word after timeline: " + word;
    }
    return passGiven ? std::string() : "timeline needs pass=MS";
}

std::string parseTimelineLine(const std::vector<Word>& words, Timeline& timeline)
{
    const std::string& directive = words[0].text;
    if (timeline.end) return "nothing may follow end";
    if (directive == "end") {
        std::uint64_t at = 0;
        if (words.size() != 2 || !parseMilliseconds(words[1].text, at)) return "end wants a time";
        timeline.end = at;
        return {};
    }
    if (directive != "at") return "unknown directive in a timeline: " + directive;
    TimelineEvent event;
    if (words.size() < 3 || !parseMilliseconds(words[1].text, event.at)) return "at wants a time";
    if (words[2].text == "printer") {
        if (words.size() < 4) return "printer needs a name";
        if (!utf8ToUtf16(words[3].text, event.printer)) return "malformed UTF-8 in the printer name";
        event.kind = TimelineEvent::Kind::printer;
        if (words.size() == 5 && words[4].text == "gone")
            event.kind = TimelineEvent::Kind::printerGone;
        else if (words.size() > 4)
            return "unknown word after printer: " + words[4].text;
        timeline.events.push_back(std::move(event));
        return {};
    }
    if (words[2].text != "job") return "at wants printer or job";
    event.kind = TimelineEvent::Kind::job;
    event.job = defaultJob();
    if (words.size() < 5 || !parseNumber(words[3].text, event.job.jobId)) return "job needs a numeric id";
    if (!words[4].text.starts_with("printer=") || words[4].text.size() == 8)
        return "job needs printer=\"NAME\"";
    if (!utf8ToUtf16(std::string_view(words[4].text).substr(8), event.printer))
        return "malformed UTF-8 in the printer name";
    event.job.printerName = event.printer;
    if (words.size() == 6 && words[5].text == "gone") {
        event.kind = TimelineEvent::Kind::jobGone;
    } else {
        std::string error = parseJobFields(words, 5, event.job, &event.given);
        if (!error.empty()) return error;
    }
    timeline.events.push_back(std::move(event));
    return {};
}

// "pass [unreachable] [after=FILE]": a new snapshot.
std::string parsePass(const std::vector<Word>& words, Scenario& scenario)
{
    Snapshot snapshot;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        if (word == "unreachable") {
            snapshot.unreachable = true;
        } else if (word.starts_with("after=") && word.size() > 6) {
            if (!utf8ToUtf16(word.substr(6), snapshot.after)) return "malformed UTF-8 in after=";
        } else {
            return "unknown word after pass: " + word;
        }
    }
    scenario.snapshots.push_back(std::move(snapshot));
    return {};
}

// "printer NAME [words]": a printer of the snapshot.
std::string parsePrinter(const std::vector<Word>& words, Snapshot& snapshot)
{
    if (snapshot.unreachable) return "an unreachable pass lists no printers";
    if (words.size() < 2) return "printer needs a name";
    ScriptedPrinter printer;
    if (!utf8ToUtf16(words[1].text, printer.name)) return "malformed UTF-8 in the printer name";
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        std::uint32_t number = 0;
        if (word == "unopenable")
            printer.unopenable = true;
        else if (word == "info-fails")
            printer.infoFails = true;
        else if (word == "jobs-fail")
            printer.jobsFail = true;
        else if (word == "quit")
            printer.quitWhileRead = true;
        else if (word.starts_with("reports=") && parseNumber(std::string_view(word).substr(8), number))
            printer.reportedJobs = number;
        else if (word.starts_with("slow=") && parseNumber(std::string_view(word).substr(5), number))
            printer.slowMilliseconds = number;
        else
            return "unknown word after printer: " + word;
    }
    snapshot.printers.push_back(std::move(printer));
    return {};
}

// "job ID [fields]": a job of the snapshot's last printer.
std::string parseJobLine(const std::vector<Word>& words, Snapshot& snapshot)
{
    if (snapshot.printers.empty()) return "job before any printer of its pass";
    ScriptedPrinter& printer = snapshot.printers.back();
    JobRecord job;
    std::string error = parseJob(words, printer.name, job);
    if (!error.empty()) return error;
    printer.jobs.push_back(std::move(job));
    return {};
}

std::string parseLine(const std::vector<Word>& words, Scenario& scenario, bool first)
{
    const std::string& directive = words[0].text;
    if (scenario.timeline) return parseTimelineLine(words, *scenario.timeline);
    if (directive == "timeline") {
        if (!first) return "timeline must be the first directive";
        scenario.timeline.emplace();
        return parseTimelineHeader(words, *scenario.timeline);
    }
    if (scenario.end) return "nothing may follow end";
    if (directive == "pass") return parsePass(words, scenario);
    if (directive == "end") {
        if (words.size() != 1) return "end takes no words";
        scenario.end = true;
        return {};
    }
    if (scenario.snapshots.empty()) return directive + " before the first pass";
    if (directive == "printer") return parsePrinter(words, scenario.snapshots.back());
    if (directive == "job") return parseJobLine(words, scenario.snapshots.back());
    return "unknown directive " + directive;
}

} // namespace

bool utf8ToUtf16(std::string_view text, std::u16string& result)
{
    result.clear();
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0;
        std::size_t length = 0;
        if (byte < 0x80)
            code = byte, length = 1;
        else if ((byte & 0xE0) == 0xC0)
            code = byte & 0x1Fu, length = 2;
        else if ((byte & 0xF0) == 0xE0)
            code = byte & 0x0Fu, length = 3;
        else if ((byte & 0xF8) == 0xF0)
            code = byte & 0x07u, length = 4;
        else
            return false;
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else
            result.push_back(static_cast<char16_t>(code));
        i += length;
    }
    return true;
}

bool parseScenario(std::string_view text, Scenario& scenario, std::string& error)
{
    scenario = Scenario();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t lineNumber = 0;
    bool firstDirective = true;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        std::vector<Word> words;
        std::string problem;
        if (!splitWords(line, words))
            problem = "a quote is not closed";
        else
            problem = parseLine(words, scenario, firstDirective);
        firstDirective = false;
        if (!problem.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + problem;
            return false;
        }
    }
    if (scenario.timeline) {
        finishTimeline(*scenario.timeline);
        scenario.end = scenario.timeline->end.has_value();
    }
    return true;
}
