// Common library, portable half: memory and string helpers, the text table
// and the wording of the fatal report.
#include "common/milibreria.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char16_t unitName[] = u"milibreria";

std::vector<TextEntry> textTable;
std::atomic<bool> fatalReportUnderWay{false};

} // namespace

// ---- memory -------------------------------------------------------------------

void* memAlloc(std::uint32_t size)
{
    // malloc(0) may answer null without failing; ask for one byte instead.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) fatalError(unitName, u"191");
    return block;
}

void* memRealloc(void* block, std::uint32_t size)
{
    void* resized = std::realloc(block, size == 0 ? 1 : size);
    if (resized == nullptr) fatalError(unitName, u"198");
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

// ---- language files -----------------------------------------------------------

namespace {

constexpr std::size_t maxKeyLength = 255;

// A key is a decimal number, after optional blanks, tabs and zeros, running
// right up to the "=". Anything else counts as 0, which the caller refuses.
std::uint32_t parseKey(const char16_t* key, std::size_t length)
{
    if (length > maxKeyLength) return 0;
    std::size_t i = 0;
    while (i < length && (key[i] == u' ' || key[i] == u'\t')) ++i;
    if (i == length) return 0;
    std::uint64_t value = 0;
    for (; i < length; ++i) {
        if (key[i] < u'0' || key[i] > u'9') return 0;
        value = value * 10 + static_cast<std::uint64_t>(key[i] - u'0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::vector<TextEntry> parseLanguageFile(const std::vector<unsigned char>& bytes)
{
    std::vector<char16_t> units(bytes.size() / 2); // an odd final byte is ignored
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));

    std::vector<TextEntry> entries;
    std::size_t position = 0;
    while (position < units.size()) {
        std::size_t lineFeed = position;
        while (lineFeed < units.size() && units[lineFeed] != u'\n') ++lineFeed;
        if (lineFeed == units.size()) break; // a last piece without a line end is dropped

        std::size_t begin = position;
        std::size_t end = lineFeed + 1; // the LF stays unless a CR stands before it
        position = end;
        if (units[begin] == 0xFEFF) ++begin;
        if (end - begin >= 2 && units[end - 2] == u'\r') end -= 2;
        if (end - begin < 2) continue;

        const char16_t* line = units.data() + begin;
        std::size_t length = end - begin;
        std::size_t equals = 0;
        while (equals < length && line[equals] != u'=') ++equals;
        // A line without "=" has no key either: it is as malformed as "x=".
        std::uint32_t id = equals < length ? parseKey(line, equals) : 0;
        if (id == 0) fatalError(unitName, u"286");
        entries.push_back({std::u16string(line + equals + 1, line + length), id});
    }
    return entries;
}

void loadTextsFromBytes(const std::vector<unsigned char>& bytes)
{
    freeTexts();
    textTable = parseLanguageFile(bytes);
}

bool textsLoaded()
{
    return !textTable.empty();
}

const char16_t* getText(std::uint32_t id)
{
    if (textTable.empty()) fatalError(unitName, u"320");
    for (const TextEntry& entry : textTable)
        if (entry.id == id) return entry.text.c_str();
    return u"none";
}

PeriodTexts loadedPeriodTexts()
{
    PeriodTexts texts;
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = getText(textid::fixedPeriods[i]);
    return texts;
}

TabTexts loadedTabTexts()
{
    TabTexts texts;
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = getText(textid::groupingTabs[i]);
    return texts;
}

void freeTexts()
{
    textTable.clear();
    textTable.shrink_to_fit();
}

bool isLanguageFileName(const char16_t* name)
{
    constexpr std::uint32_t suffixLength = sizeof(languageSuffix) / sizeof(char16_t) - 1;
    std::uint32_t length = wstrLength(name);
    return length >= 10 && wstrCompare(name + length - suffixLength, languageSuffix) == 0;
}

bool isActiveLanguageFileName(const char16_t* name)
{
    return name[0] == u'_' && isLanguageFileName(name);
}

// ---- fatal report -------------------------------------------------------------

void noteFatalReportBegun()
{
    fatalReportUnderWay = true;
}

bool fatalReportBegun()
{
    return fatalReportUnderWay;
}

std::u16string fatalMessage(const char16_t* unit, const char16_t* line)
{
    // Without a loaded table the report must not look texts up: getText would
    // itself end in a fatal report.
    const bool loaded = textsLoaded();
    std::u16string message = loaded ? getText(textid::fatalLineHeading) : u"Pagewarden stopped at line";
    message += u"\r\n";
    message += line ? line : u"";
    message += u"\r\n";
    message += loaded ? getText(textid::fatalUnitHeading) : u"in the unit";
    message += u"\r\n";
    message += unit ? unit : u"";
    if (message.size() > fatalMessageCapacity) {
        std::size_t cut = fatalMessageCapacity;
        // Never leave half of a surrogate pair at the end.
        if (message[cut - 1] >= 0xD800 && message[cut - 1] <= 0xDBFF) --cut;
        message.resize(cut);
    }
    return message;
}

std::u16string fatalCaption()
{
    return textsLoaded() ? getText(textid::fatalCaption) : u"Pagewarden";
}
