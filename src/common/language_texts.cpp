#include "common/language_texts.h"

#include "common/failure.h"
#include "common/strings.h"

namespace {

std::vector<TextEntry> textTable;

} // namespace

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
    std::size_t lineNumber = 0;
    while (position < units.size()) {
        ++lineNumber;
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
        if (id == 0) {
            std::string where = "Line " + std::to_string(lineNumber)
                + " of the language file does not start with a text number and \"=\".";
            setFailureDetail(asciiText(where));
            fatalError(unit::library, u"286");
        }
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
    if (textTable.empty()) {
        setFailureDetail(u"The language file holds no texts.");
        fatalError(unit::library, u"320");
    }
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
