#include "monitor/monitor_handover.h"

#include <array>
#include <optional>
#include <set>

namespace {

constexpr std::array<char, 4> magic = {'P', 'W', 'M', 'S'};
// 2: a job carries its device mode's colour, sides, paper size and form.
constexpr std::uint32_t formatVersion = 2;

// Little-endian whatever the machine, so the bytes mean the same to every reader.
class Writer {
public:
    void number(std::uint64_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i) out_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    void u8(std::uint8_t v) { number(v, 1); }
    void u16(std::uint16_t v) { number(v, 2); }
    void u32(std::uint32_t v) { number(v, 4); }
    void u64(std::uint64_t v) { number(v, 8); }
    void text(const std::u16string& s)
    {
        u32(static_cast<std::uint32_t>(s.size()));
        for (char16_t unit : s) u16(unit);
    }
    void optionalText(const std::optional<std::u16string>& s)
    {
        u8(s ? 1 : 0);
        if (s) text(*s);
    }
    void dateTime(const DateTime& t)
    {
        for (std::uint16_t field :
            {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds})
            u16(field);
    }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

// Every read checks the room left; a count is believed only when the bytes
// left could hold that many of the smallest item, so no damaged count makes
// a huge allocation.
class Reader {
public:
    explicit Reader(std::string_view in)
        : in_(in)
    {
    }
    bool number(std::uint64_t& value, std::size_t bytes)
    {
        if (in_.size() - at_ < bytes) return false;
        value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value |= std::uint64_t{static_cast<unsigned char>(in_[at_ + i])} << (8 * i);
        at_ += bytes;
        return true;
    }
    template <typename T> bool field(T& value)
    {
        std::uint64_t raw = 0;
        if (!number(raw, sizeof(T))) return false;
        value = static_cast<T>(raw);
        return true;
    }
    bool count(std::uint32_t& n, std::size_t smallestItem)
    {
        return field(n) && n <= (in_.size() - at_) / smallestItem;
    }
    bool text(std::u16string& s)
    {
        std::uint32_t length = 0;
        if (!count(length, 2)) return false;
        s.resize(length);
        for (char16_t& unit : s)
            if (!field(unit)) return false;
        return true;
    }
    bool optionalText(std::optional<std::u16string>& s)
    {
        std::uint8_t present = 0;
        if (!field(present) || present > 1) return false;
        if (present == 0) {
            s.reset();
            return true;
        }
        s.emplace();
        return text(*s);
    }
    bool dateTime(DateTime& t)
    {
        return field(t.year) && field(t.month) && field(t.dayOfWeek) && field(t.day) && field(t.hour)
            && field(t.minute) && field(t.second) && field(t.milliseconds);
    }
    bool magicMatches()
    {
        if (in_.size() - at_ < magic.size()) return false;
        for (char c : magic)
            if (in_[at_++] != c) return false;
        return true;
    }
    bool atEnd() const { return at_ == in_.size(); }

private:
    std::string_view in_;
    std::size_t at_ = 0;
};

using TextField = std::optional<std::u16string> JobRecord::*;
constexpr std::array<TextField, 10> jobTexts = {&JobRecord::printerName, &JobRecord::machineName,
    &JobRecord::userName, &JobRecord::document, &JobRecord::notifyName, &JobRecord::datatype,
    &JobRecord::printProcessor, &JobRecord::parameters, &JobRecord::driverName, &JobRecord::statusText};
using NumberField = std::uint32_t JobRecord::*;
constexpr std::array<NumberField, 10> jobNumbers = {&JobRecord::jobId, &JobRecord::dmFields,
    &JobRecord::status, &JobRecord::priority, &JobRecord::position, &JobRecord::startTime,
    &JobRecord::untilTime, &JobRecord::totalPages, &JobRecord::size, &JobRecord::time};
// jobTexts (a byte each when absent), jobNumbers, pagesPrinted, copies,
// the device-mode flag, the submission time, colour, sides, paper size and
// the form's name.
constexpr std::size_t smallestJob = jobTexts.size() + 4 * jobNumbers.size() + 4 + 2 + 1 + 16 + 3 * 2 + 4;

void writeJob(Writer& out, const JobRecord& job)
{
    for (TextField f : jobTexts) out.optionalText(job.*f);
    for (NumberField f : jobNumbers) out.u32(job.*f);
    out.u32(job.pagesPrinted);
    out.u16(static_cast<std::uint16_t>(job.dmCopies));
    out.u8(job.hasDevMode ? 1 : 0);
    out.dateTime(job.submitted);
    out.u16(static_cast<std::uint16_t>(job.details.dmColor));
    out.u16(static_cast<std::uint16_t>(job.details.dmDuplex));
    out.u16(static_cast<std::uint16_t>(job.details.dmPaperSize));
    out.text(job.details.dmFormName);
}

bool readJob(Reader& in, JobRecord& job)
{
    for (TextField f : jobTexts)
        if (!in.optionalText(job.*f)) return false;
    for (NumberField f : jobNumbers)
        if (!in.field(job.*f)) return false;
    std::uint16_t copies = 0;
    std::uint8_t devMode = 0;
    if (!in.field(job.pagesPrinted) || !in.field(copies) || !in.field(devMode) || devMode > 1) return false;
    job.dmCopies = static_cast<std::int16_t>(copies);
    job.hasDevMode = devMode == 1;
    std::uint16_t color = 0, duplex = 0, paperSize = 0;
    if (!in.dateTime(job.submitted) || !in.field(color) || !in.field(duplex) || !in.field(paperSize)
        || !in.text(job.details.dmFormName))
        return false;
    job.details.dmColor = static_cast<std::int16_t>(color);
    job.details.dmDuplex = static_cast<std::int16_t>(duplex);
    job.details.dmPaperSize = static_cast<std::int16_t>(paperSize);
    return true;
}

bool readPrinter(Reader& in, PrinterEntry& printer)
{
    std::uint32_t jobs = 0;
    if (!in.text(printer.name) || !in.count(jobs, smallestJob + 13)) return false;
    printer.jobs.resize(jobs);
    printer.marks.resize(jobs);
    printer.flags.resize(jobs);
    printer.dated.resize(jobs);
    for (std::uint32_t j = 0; j < jobs; ++j)
        if (!readJob(in, printer.jobs[j]) || !in.field(printer.marks[j]) || !in.field(printer.flags[j])
            || !in.field(printer.dated[j]) || printer.dated[j] > 1)
            return false;
    // Not watched by this monitor yet: its first good reading registers it.
    return true;
}

bool fresh(std::uint64_t leftAt, std::uint64_t wallClock)
{
    return leftAt <= wallClock && wallClock - leftAt <= handoverLifetime;
}

} // namespace

std::string encodeMonitorState(const MonitorState& state, std::uint64_t now, std::uint64_t wallClock)
{
    Writer out;
    for (char c : magic) out.u8(static_cast<std::uint8_t>(c));
    out.u32(formatVersion);
    out.u64(wallClock);
    out.u32(static_cast<std::uint32_t>(state.printers.size()));
    for (const PrinterEntry& printer : state.printers) {
        out.text(printer.name);
        out.u32(static_cast<std::uint32_t>(printer.jobs.size()));
        for (std::size_t j = 0; j < printer.jobs.size(); ++j) {
            writeJob(out, printer.jobs[j]);
            out.u64(printer.marks[j]);
            out.u32(static_cast<std::uint32_t>(printer.flags[j]));
            out.u8(isDated(printer, j) ? 1 : 0);
        }
    }
    out.u32(static_cast<std::uint32_t>(state.recorded.size()));
    // Ages, not times: the next monitor's clock need not read the same.
    state.recorded.forEachRemembered([&](const JobIdentity& identity, std::uint64_t recordedAt) {
        out.text(identity.printer);
        out.u32(identity.jobId);
        out.dateTime(identity.submitted);
        out.u64(now >= recordedAt ? now - recordedAt : 0);
    });
    return out.take();
}

namespace {

// The printers, each once, each job once within its printer: a second entry
// would be merged away, losing what it holds.
bool listedOnce(const std::vector<PrinterEntry>& printers)
{
    std::set<std::u16string> names;
    for (const PrinterEntry& printer : printers) {
        if (!names.insert(printer.name).second) return false;
        std::set<std::uint32_t> ids;
        for (const JobRecord& job : printer.jobs)
            if (!ids.insert(job.jobId).second) return false;
    }
    return true;
}

bool readRemembered(Reader& in, std::uint64_t now, MonitorState& read)
{
    std::uint32_t remembered = 0;
    if (!in.count(remembered, 4 + 4 + 16 + 8)) return false;
    std::uint64_t previousAge = UINT64_MAX;
    for (std::uint32_t i = 0; i < remembered; ++i) {
        JobIdentity identity;
        std::uint64_t age = 0;
        if (!in.text(identity.printer) || !in.field(identity.jobId) || !in.dateTime(identity.submitted)
            || !in.field(age) || age > previousAge)
            return false;
        previousAge = age;
        // Remembered from as long ago as the last monitor recorded it, so the
        // day of memory does not start over at each hand-over.
        read.recorded.admit(identity, now >= age ? now - age : 0);
    }
    return in.atEnd();
}

} // namespace

bool decodeMonitorState(std::string_view bytes, std::uint64_t now, std::uint64_t wallClock,
    MonitorState& state, std::string* damage)
{
    std::string ignored;
    std::string& why = damage ? *damage : ignored;
    why.clear();
    if (bytes.size() > handoverFileLimit) {
        why = "the file is larger than " + std::to_string(handoverFileLimit >> 20) + " MB";
        return false;
    }
    Reader in(bytes);
    std::uint32_t version = 0;
    std::uint64_t leftAt = 0;
    if (!in.magicMatches() || !in.field(version) || version != formatVersion || !in.field(leftAt)) {
        why = "the file is not a hand-over of this version";
        return false;
    }
    // Merely old: the queues have moved on.
    if (!fresh(leftAt, wallClock)) return false;

    MonitorState read;
    std::uint32_t printers = 0;
    bool whole = in.count(printers, 8);
    if (whole) read.printers.resize(printers);
    for (std::uint32_t p = 0; whole && p < printers; ++p) whole = readPrinter(in, read.printers[p]);
    if (!whole || !readRemembered(in, now, read)) {
        why = "the file is cut short or changed";
        return false;
    }
    if (!listedOnce(read.printers)) {
        why = "a printer or a job is listed twice";
        return false;
    }
    state = std::move(read);
    return true;
}
