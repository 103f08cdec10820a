#include "support/fuzz_entries.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/fatal_report.h"
#include "common/language_texts.h"
#include "monitor/job_tracking.h"
#include "monitor/sim/scripted_spooler.h"
#include "support/fatal_error.h"

namespace {

// A UTF-16 text for a finding's message: printable ASCII as it is, every
// other unit as \uXXXX, so a lone surrogate shows instead of vanishing.
std::string printable(const std::u16string& text)
{
    std::string result;
    for (char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F) {
            result.push_back(static_cast<char>(unit));
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
        result += escaped;
    }
    return result;
}

std::string entryText(const TextEntry& entry)
{
    return std::to_string(entry.id) + "=" + printable(entry.text);
}

// Whole UTF-16: every surrogate is half of a pair.
bool wellFormed(const std::u16string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0xD800 || text[i] > 0xDFFF) continue;
        if (text[i] > 0xDBFF || i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
            return false;
        ++i;
    }
    return true;
}

// ---- language files ---------------------------------------------------------------

// The format read a second way, so that the fuzzer judges results and not
// only crashes: the file cut at each LF by the string searches of the
// standard library, and the key judged as text (its digits compared with
// those of the largest id) instead of by arithmetic. No table at all when
// some key counts as 0.
std::optional<std::vector<TextEntry>> readFormatPlainly(const std::uint8_t* data, std::size_t size)
{
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    std::vector<TextEntry> entries;
    std::size_t start = 0;
    for (std::size_t lineFeed; (lineFeed = units.find(u'\n', start)) != std::u16string::npos;
         start = lineFeed + 1) {
        std::u16string line = units.substr(start, lineFeed + 1 - start);
        if (line.front() == u'\uFEFF') line.erase(0, 1);
        if (line.ends_with(u"\r\n")) line.resize(line.size() - 2);
        if (line.size() < 2) continue;

        std::size_t equals = line.find(u'=');
        if (equals == std::u16string::npos || equals > 255) return std::nullopt;
        std::u16string_view key(line.data(), equals);
        key.remove_prefix(std::min(key.find_first_not_of(u" \t"), key.size()));
        if (key.empty() || key.find_first_not_of(u"0123456789") != std::u16string_view::npos)
            return std::nullopt;
        key.remove_prefix(std::min(key.find_first_not_of(u'0'), key.size()));
        if (key.empty() || key.size() > 10 || (key.size() == 10 && key > u"4294967295")) return std::nullopt;
        std::uint32_t id = 0;
        for (char16_t digit : key) id = id * 10 + static_cast<std::uint32_t>(digit - u'0');
        entries.push_back({line.substr(equals + 1), id});
    }
    return entries;
}

// Looks up every id of the file and every id the program uses, through each
// way the program asks, against the first line of each id.
std::string checkLookups(const std::vector<TextEntry>& entries)
{
    if (entries.empty()) {
        if (textsLoaded()) return "a file without entries counts as loaded";
        try {
            getText(textid::mainTitle);
        } catch (const FatalError& fatal) {
            if (fatal.unit == unit::library && fatal.line == u"320") return {};
        }
        return "a lookup in an empty table does not end in its report";
    }
    if (!textsLoaded()) return "a file with entries does not count as loaded";

    // The program is handed zero-terminated texts: a text holding a U+0000
    // unit is seen up to that unit only.
    auto firstText = [&](std::uint32_t id) -> std::u16string {
        for (const TextEntry& entry : entries)
            if (entry.id == id) return entry.text.substr(0, entry.text.find(u'\0'));
        return u"none";
    };
    std::vector<std::uint32_t> ids(textid::everyId.begin(), textid::everyId.end());
    for (const TextEntry& entry : entries) ids.push_back(entry.id);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (std::uint32_t id : ids) {
        std::u16string text = getText(id);
        if (text != firstText(id))
            return "id " + std::to_string(id) + " looks up " + printable(text) + ", its first line holds "
                + printable(firstText(id));
    }

    PeriodTexts periods = loadedPeriodTexts();
    for (std::size_t i = 0; i < periods.size(); ++i)
        if (periods[i] != firstText(textid::fixedPeriods[i]))
            return "period text " + std::to_string(i) + " differs";
    TabTexts tabs = loadedTabTexts();
    for (std::size_t i = 0; i < tabs.size(); ++i)
        if (tabs[i] != firstText(textid::groupingTabs[i]))
            return "tab text " + std::to_string(i) + " differs";

    // The report is built from the file's own texts 21 and 22 into a buffer of
    // fixed size. A cut of whole UTF-16 must leave it whole; units that were
    // halves of no pair in the file stay as they were.
    std::u16string message = fatalMessage(unit::library, u"286");
    if (message.size() > fatalMessageCapacity) return "the fatal report overruns its buffer";
    if (wellFormed(firstText(textid::fatalLineHeading)) && wellFormed(firstText(textid::fatalUnitHeading))
        && !wellFormed(message))
        return "the fatal report cuts a surrogate pair in half";
    return {};
}

// ---- scenarios ----------------------------------------------------------------------

// A scenario may repeat its last snapshot for ever, and an unreachable last
// snapshot without "end" keeps the enumeration retrying for ever, as the real
// spooler would: the play is cut after these many passes and retries.
constexpr int passesPerSnapshot = 4;
constexpr int passLimit = 256;
constexpr std::size_t retryLimit = 64;

int passesPlayed = 0;

// A snapshot's after= file shows up 0 to 3 passes into the play, by the
// length of its name, so that waits for a file are played and end.
bool fileShowsUp(const std::u16string& name)
{
    return static_cast<int>(name.size() % 4) <= passesPlayed;
}

struct BoundedReads {
    SpoolerReads scripted;
    std::size_t retries = 0;
};

EnumOutcome boundedEnumPrinters(void* context, std::vector<std::u16string>& names)
{
    const SpoolerReads& scripted = static_cast<BoundedReads*>(context)->scripted;
    return scripted.enumPrinters(scripted.context, names);
}

QueueOutcome boundedReadQueue(void* context, const std::u16string& printer, QueueRead& read)
{
    const SpoolerReads& scripted = static_cast<BoundedReads*>(context)->scripted;
    return scripted.readQueue(scripted.context, printer, read);
}

bool boundedWaitBeforeRetry(void* context, std::uint32_t milliseconds)
{
    auto& bounded = *static_cast<BoundedReads*>(context);
    bool stop = bounded.scripted.waitBeforeRetry(bounded.scripted.context, milliseconds);
    return stop || ++bounded.retries > retryLimit;
}

bool boundedStopRequested(void* context)
{
    const SpoolerReads& scripted = static_cast<BoundedReads*>(context)->scripted;
    return scripted.stopRequested(scripted.context);
}

// What the job store would take a recorded job by, and what a snapshot must
// have held for it.
using RecordedKey = std::tuple<std::u16string, std::uint32_t, std::uint16_t, std::uint16_t, std::uint16_t,
    std::uint16_t, std::uint16_t, std::uint16_t, std::uint16_t, std::uint16_t>;
using SightingKey = std::tuple<RecordedKey, std::uint32_t, std::uint32_t, std::uint32_t>;

RecordedKey recordedKeyOf(const JobRecord& job)
{
    const DateTime& at = job.submitted;
    return {job.printerName.value_or(u""), job.jobId, at.year, at.month, at.dayOfWeek, at.day, at.hour,
        at.minute, at.second, at.milliseconds};
}

SightingKey sightingKeyOf(const JobRecord& job)
{
    return {recordedKeyOf(job), job.status, job.pagesPrinted, job.totalPages};
}

// Nothing recorded twice, nothing recorded that no snapshot held, and the
// followed printers still one entry a name with a mark for every job.
std::string checkPlay(
    const Scenario& scenario, const MonitorState& state, const std::vector<JobRecord>& recorded)
{
    std::vector<RecordedKey> identities;
    for (const JobRecord& job : recorded) identities.push_back(recordedKeyOf(job));
    std::sort(identities.begin(), identities.end());
    auto twice = std::adjacent_find(identities.begin(), identities.end());
    if (twice != identities.end())
        return "job " + std::to_string(std::get<1>(*twice)) + " of " + printable(std::get<0>(*twice))
            + " recorded twice";

    std::vector<SightingKey> sightings;
    for (const Snapshot& snapshot : scenario.snapshots)
        for (const ScriptedPrinter& printer : snapshot.printers)
            for (const JobRecord& job : printer.jobs) sightings.push_back(sightingKeyOf(job));
    std::sort(sightings.begin(), sightings.end());
    for (const JobRecord& job : recorded)
        if (!std::binary_search(sightings.begin(), sightings.end(), sightingKeyOf(job)))
            return "job " + std::to_string(job.jobId) + " recorded as no snapshot held it";

    for (std::size_t i = 0; i < state.printers.size(); ++i) {
        const PrinterEntry& entry = state.printers[i];
        if (entry.marks.size() != entry.jobs.size() || entry.flags.size() != entry.jobs.size())
            return "printer " + printable(entry.name) + " has marks that do not match its jobs";
        for (std::size_t k = 0; k < i; ++k)
            if (state.printers[k].name == entry.name)
                return "printer " + printable(entry.name) + " followed twice";
    }
    return {};
}

// Every text the reader made of UTF-8 is whole UTF-16: half a surrogate pair
// in a name would reach the job store's rows and the list as it is.
std::string checkTexts(const Scenario& scenario)
{
    for (const Snapshot& snapshot : scenario.snapshots) {
        if (!wellFormed(snapshot.after)) return "an after= name that is not whole UTF-16";
        for (const ScriptedPrinter& printer : snapshot.printers) {
            if (!wellFormed(printer.name)) return "a printer name that is not whole UTF-16";
            for (const JobRecord& job : printer.jobs)
                for (const auto* text : {&job.userName, &job.machineName, &job.document})
                    if (text->has_value() && !wellFormed(**text))
                        return "a job text that is not whole UTF-16";
        }
    }
    return {};
}

// A refusal names a line of the text, counted from 1.
std::string checkRefusal(std::string_view text, const std::string& error)
{
    unsigned long line = 0;
    if (std::sscanf(error.c_str(), "line %lu:", &line) != 1) return "a refusal that names no line: " + error;
    auto lines = static_cast<unsigned long>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (line < 1 || line > lines) return "a refusal that names a line the text lacks: " + error;
    return {};
}

} // namespace

std::string playLanguageFileInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<std::vector<TextEntry>> expected = readFormatPlainly(data, size);
    const std::vector<unsigned char> bytes(data, data + size);
    std::vector<TextEntry> entries;
    try {
        entries = parseLanguageFile(bytes);
        loadTextsFromBytes(bytes);
    } catch (const FatalError& fatal) {
        freeTexts();
        if (fatal.unit != unit::library || fatal.line != u"286")
            return "fatal report " + printable(fatal.line) + " in " + printable(fatal.unit);
        return expected ? "a file whose keys are all well-formed ends in the malformed-key report" : "";
    }
    if (!expected) {
        freeTexts();
        return "a key that counts as 0 was accepted";
    }
    std::string problem;
    if (entries.size() != expected->size())
        problem = std::to_string(entries.size()) + " entries read, " + std::to_string(expected->size())
            + " expected";
    for (std::size_t i = 0; problem.empty() && i < entries.size(); ++i)
        if (entries[i].id != (*expected)[i].id || entries[i].text != (*expected)[i].text)
            problem = "entry " + std::to_string(i) + " reads " + entryText(entries[i]) + ", expected "
                + entryText((*expected)[i]);
    if (problem.empty()) problem = checkLookups(entries);
    freeTexts();
    return problem;
}

std::string playScenarioInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ScriptedSpooler spooler;
    std::string error;
    if (!parseScenario(text, spooler.scenario, error)) return checkRefusal(text, error);
    if (std::string problem = checkTexts(spooler.scenario); !problem.empty()) return problem;

    spooler.fileExists = fileShowsUp;
    passesPlayed = 0;
    BoundedReads bounded{scriptedReads(spooler)};
    const SpoolerReads reads{
        &bounded, boundedEnumPrinters, boundedReadQueue, boundedWaitBeforeRetry, boundedStopRequested};
    const int passes = std::min(passLimit,
        passesPerSnapshot
                * static_cast<int>(std::min<std::size_t>(spooler.scenario.snapshots.size(), passLimit))
            + 4);

    MonitorState state;
    std::vector<JobRecord> recorded;
    // Played as the monitor thread plays them, a tenth of a second apart.
    while (passesPlayed < passes) {
        PassOutcome outcome = runPass(state, reads, 100u * static_cast<unsigned>(passesPlayed), recorded);
        if (outcome.stopped) break;
        ++passesPlayed;
        finishPass(spooler);
        if (takeQuit(spooler)) break;
    }
    return checkPlay(spooler.scenario, state, recorded);
}
