// Memory and string helpers, language file parsing and the fatal report text.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "common/fatal_report.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "support/fatal_error.h"

namespace {

// A language file as the program reads it: UTF-16 LE, optionally with a BOM.
std::vector<unsigned char> utf16File(const std::u16string& text, bool withMark = true)
{
    std::vector<unsigned char> bytes;
    if (withMark) bytes = {0xFF, 0xFE};
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

struct TextTableFixture : ::testing::Test {
    void TearDown() override { freeTexts(); }
};

} // namespace

TEST(StringHelpers, CopyNStopsAtCountOrTerminator)
{
    char16_t buffer[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    wstrCopyN(buffer, u"abc", 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], u'x');

    wstrCopyN(buffer, u"abc", 2);
    EXPECT_EQ(std::u16string(buffer), u"ab");

    wstrCopyN(buffer, u"abc", 7);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(buffer[4], u'x'); // nothing written past the terminator
}

TEST(StringHelpers, CompareIsExactUnitEquality)
{
    EXPECT_EQ(wstrCompare(u"", u""), 0);
    EXPECT_EQ(wstrCompare(u"abc", u"abc"), 0);
    EXPECT_LT(wstrCompare(u"abc", u"abd"), 0);
    EXPECT_EQ(wstrCompare(u"abd", u"abc"), 1);
    EXPECT_NE(wstrCompare(u"abc", u"abcd"), 0); // a prefix is not equal
    EXPECT_NE(wstrCompare(u"abcd", u"abc"), 0);
    EXPECT_NE(wstrCompare(u"Abc", u"abc"), 0); // case counts
    // Units above 0x7FFF still compare unequal after the 16-bit cut.
    const char16_t high[] = {0x8000, 0}, low[] = {0x7FFF, 0};
    EXPECT_NE(wstrCompare(high, low), 0);
}

TEST(StringHelpers, TrimRemovesOnlyTheSixWhiteSpaceUnits)
{
    char16_t mixed[] = u"  a b\t\r\n";
    EXPECT_EQ(std::u16string(wstrTrim(mixed)), u"a b");

    char16_t blank[] = u" \t\n\v\f\r ";
    EXPECT_EQ(std::u16string(wstrTrim(blank)), u"");

    char16_t empty[] = u"";
    EXPECT_EQ(std::u16string(wstrTrim(empty)), u"");

    char16_t noBreak[] = u"\u00A0x\u00A0";
    EXPECT_EQ(std::u16string(wstrTrim(noBreak)), u"\u00A0x\u00A0");

    for (int unit : {9, 10, 11, 12, 13, 32}) EXPECT_TRUE(wstrIsSpace(static_cast<char16_t>(unit))) << unit;
    for (int unit : {0, 8, 14, 31, 33, 160, 0x2003, 0x3000})
        EXPECT_FALSE(wstrIsSpace(static_cast<char16_t>(unit))) << unit;
}

TEST(StringHelpers, AppendAndBackslash)
{
    char16_t path[32] = u"C:\\a";
    wstrAppend(path, u"bc");
    EXPECT_EQ(std::u16string(path), u"C:\\abc");
    appendBackslash(path);
    appendBackslash(path);
    EXPECT_EQ(std::u16string(path), u"C:\\abc\\");
    char16_t empty[4] = u"";
    appendBackslash(empty);
    EXPECT_EQ(std::u16string(empty), u"\\");
}

TEST(Utf8Text, EachLengthAndLoneSurrogates)
{
    struct Case {
        std::u16string text;
        const char* bytes;
    };
    const Case cases[] = {
        {u"", ""}, {u"plain ASCII", "plain ASCII"},
        {u"\u007F\u0080", "\x7F\xC2\x80"},                     // the edge of one and two bytes
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},             // of two and three
        {u"\uFFFF\U00010000", "\xEF\xBF\xBF\xF0\x90\x80\x80"}, // of three and four
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},                   // the last code point
        {u"\uFEFF", "\xEF\xBB\xBF"},                           // a mark is text like any other
        {std::u16string(1, char16_t(0xDC00)) + u"x",
            "\xEF\xBF\xBD"
            "x"},                                                      // a trail alone
        {u"x" + std::u16string(1, char16_t(0xD800)), "x\xEF\xBF\xBD"}, // a lead at the end
        {std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)},
            "\xEF\xBF\xBD\xF0\x90\x80\x80"}, // a lead before a whole pair
    };
    for (const Case& c : cases) EXPECT_EQ(utf8Of(c.text), c.bytes) << c.bytes;
    std::string out = "x";
    appendUtf8(out, U'\u00E9');
    appendUtf8(out, U'\U0010FFFF');
    EXPECT_EQ(out, "x\xC3\xA9\xF4\x8F\xBF\xBF");
}

TEST(MemoryHelpers, AllocReallocCopyFree)
{
    memFree(nullptr);
    auto* block = static_cast<char*>(memRealloc(nullptr, 8));
    std::memcpy(block, "abcdefg", 8);
    memCopy(block + 1, block, 4); // overlapping ranges move correctly
    EXPECT_STREQ(block, "aabcdfg");
    block = static_cast<char*>(memRealloc(block, 4096));
    EXPECT_EQ(block[0], 'a');
    memZero(block, 4096);
    EXPECT_EQ(block[4095], 0);
    memFree(block);
    memFree(memAlloc(0));
}

TEST_F(TextTableFixture, LinesKeysAndTexts)
{
    auto entries = parseLanguageFile(utf16File(u"1=File\r\n"
                                               u"30=\r\n"
                                               u"31==x\r\n"
                                               u" \t0032=padded\r\n"
                                               u"\r\n"
                                               u"\n"
                                               u"x\r\n"
                                               u"33=a=b c \r\n"
                                               u"1=second\r\n"
                                               u"34=unterminated"));
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].id, 1u);
    EXPECT_EQ(entries[0].text, u"File");
    EXPECT_EQ(entries[1].text, u"");
    EXPECT_EQ(entries[2].text, u"=x");
    EXPECT_EQ(entries[3].id, 32u);
    EXPECT_EQ(entries[4].text, u"a=b c ");

    loadTextsFromBytes(utf16File(u"1=File\r\n1=second\r\n30=\r\n"));
    EXPECT_EQ(std::u16string(getText(1)), u"File"); // the first of two wins
    EXPECT_EQ(std::u16string(getText(30)), u"");
    EXPECT_EQ(std::u16string(getText(2)), u"none");
}

TEST_F(TextTableFixture, MarkAndLineEndVariants)
{
    auto withMark = parseLanguageFile(utf16File(u"5=Help\r\n6=About\r\n", true));
    auto withoutMark = parseLanguageFile(utf16File(u"5=Help\r\n6=About\r\n", false));
    ASSERT_EQ(withMark.size(), 2u);
    ASSERT_EQ(withoutMark.size(), 2u);
    EXPECT_EQ(withMark[0].text, withoutMark[0].text);
    EXPECT_EQ(withMark[0].id, withoutMark[0].id);

    // LF-only line ends stay in the texts: the format wants CR LF.
    auto lfOnly = parseLanguageFile(utf16File(u"5=Help\n6=About\n"));
    ASSERT_EQ(lfOnly.size(), 2u);
    EXPECT_EQ(lfOnly[0].text, u"Help\n");

    // An odd final byte is ignored.
    auto bytes = utf16File(u"5=Help\r\n");
    bytes.push_back(0x41);
    EXPECT_EQ(parseLanguageFile(bytes).size(), 1u);

    // Texts keep any unit, surrogate pairs included.
    auto astral = parseLanguageFile(utf16File(u"7=\U0001F5A8 O'Neil\r\n"));
    ASSERT_EQ(astral.size(), 1u);
    EXPECT_EQ(astral[0].text, u"\U0001F5A8 O'Neil");
}

TEST_F(TextTableFixture, MalformedKeysEndInTheFatalReport)
{
    for (const char16_t* line : {u"30 =x\r\n", u"=x\r\n", u"0=x\r\n", u"abc=x\r\n", u"4294967296=x\r\n",
             u"-1=x\r\n", u"+1=x\r\n", u"no equals sign\r\n"}) {
        SCOPED_TRACE(std::string(line, line + std::char_traits<char16_t>::length(line)).c_str());
        EXPECT_FATAL(parseLanguageFile(utf16File(line)), u"milibreria", u"286");
    }
    std::u16string longKey(256, u'0');
    EXPECT_FATAL(parseLanguageFile(utf16File(longKey + u"1=x\r\n")), u"milibreria", u"286");
    auto largest = parseLanguageFile(utf16File(u"4294967295=max\r\n"));
    ASSERT_EQ(largest.size(), 1u);
    EXPECT_EQ(largest[0].id, 4294967295u);
}

TEST_F(TextTableFixture, LookupWithoutTableIsFatal)
{
    freeTexts();
    EXPECT_FATAL(getText(1), u"milibreria", u"320");
    loadTextsFromBytes(utf16File(u"\r\n")); // a file of skipped lines loads nothing
    EXPECT_FALSE(textsLoaded());
}

TEST_F(TextTableFixture, FatalMessageLinesAndCut)
{
    // No table: a plain report that looks nothing up.
    std::u16string plain = fatalMessage(u"subproceso", u"417");
    EXPECT_NE(plain.find(u"\r\n417\r\n"), std::u16string::npos);
    EXPECT_EQ(plain.substr(plain.size() - 10), u"subproceso");
    EXPECT_EQ(fatalCaption(), u"Pagewarden");

    loadTextsFromBytes(utf16File(u"21=Line:\r\n22=Unit:\r\n23=Error\r\n"));
    EXPECT_EQ(fatalMessage(u"misqlite", u"158"), u"Line:\r\n158\r\nUnit:\r\nmisqlite");
    EXPECT_EQ(fatalMessage(u"", u""), u"Line:\r\n\r\nUnit:\r\n");
    EXPECT_EQ(fatalCaption(), u"Error");

    loadTextsFromBytes(utf16File(u"21=" + std::u16string(500, u'a') + u"\r\n22=Unit:\r\n"));
    std::u16string cut = fatalMessage(u"misqlite", u"158");
    EXPECT_EQ(cut.size(), fatalMessageCapacity);
    EXPECT_EQ(cut, std::u16string(400, u'a'));
}

TEST_F(TextTableFixture, FatalMessageSaysWhatWentWrongLast)
{
    loadTextsFromBytes(utf16File(u"21=Line:\r\n22=Unit:\r\n"));
    EXPECT_EQ(fatalMessage(u"misqlite", u"215", u"file is not a database"),
        u"Line:\r\n215\r\nUnit:\r\nmisqlite\r\nfile is not a database");
    // A long explanation gets what room the four lines leave.
    std::u16string cut = fatalMessage(u"milibreria", u"163", std::u16string(1000, u'x'));
    EXPECT_EQ(cut.size(), fatalMessageCapacity);
    EXPECT_EQ(cut.substr(0, 31), u"Line:\r\n163\r\nUnit:\r\nmilibreria\r\n");

    // A malformed key names its line; an empty table says so.
    takeFailureDetail();
    EXPECT_FATAL(loadTextsFromBytes(utf16File(u"1=a\r\n\r\nx=b\r\n")), u"milibreria", u"286");
    EXPECT_EQ(
        takeFailureDetail(), u"Line 3 of the language file does not start with a text number and \"=\".");
    EXPECT_TRUE(takeFailureDetail().empty()); // taken once
    freeTexts();
    EXPECT_FATAL(getText(1), u"milibreria", u"320");
    EXPECT_EQ(takeFailureDetail(), u"The language file holds no texts.");
}

TEST(LanguageFileNames, SuffixAndMark)
{
    EXPECT_TRUE(isLanguageFileName(u"English.lang.txt"));
    EXPECT_TRUE(isActiveLanguageFileName(u"_English.lang.txt"));
    EXPECT_TRUE(isActiveLanguageFileName(u"_.lang.txt")); // exactly ten units
    EXPECT_FALSE(isActiveLanguageFileName(u"English.lang.txt"));
    EXPECT_FALSE(isLanguageFileName(u".lang.txt"));
    EXPECT_FALSE(isActiveLanguageFileName(u"_English.LANG.txt"));
    EXPECT_FALSE(isActiveLanguageFileName(u"_English.lang.txt.bak"));
}

// The language files we ship, English marked as the one the package starts
// in: every text the program asks for is there, and the texts that double as
// keys are distinct.
TEST_F(TextTableFixture, ShippedLanguageFilesAreComplete)
{
    const std::set<std::u8string> shipped = {u8"_English.lang.txt", u8"Espa\u00F1ol.lang.txt",
        u8"Deutsch.lang.txt", u8"Fran\u00E7ais.lang.txt", u8"Portugu\u00EAs.lang.txt"};
    std::set<std::u8string> seen;
    for (const auto& entry : std::filesystem::directory_iterator(PW_BINARY_DIR "/lang")) {
        seen.insert(entry.path().filename().u8string());
        SCOPED_TRACE(entry.path().string());
        std::ifstream file(entry.path(), std::ios::binary);
        std::vector<unsigned char> bytes(
            (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xFE);
        loadTextsFromBytes(bytes);
        for (textid::Id id : textid::everyId) EXPECT_NE(std::u16string(getText(id)), u"none") << id;
        // The periods and the tabs are recognised by their texts.
        for (textid::Id a : textid::fixedPeriods)
            for (textid::Id b : textid::fixedPeriods)
                if (a != b) {
                    EXPECT_NE(std::u16string(getText(a)), std::u16string(getText(b)));
                }
        for (textid::Id a : textid::groupingTabs)
            for (textid::Id b : textid::groupingTabs)
                if (a != b) {
                    EXPECT_NE(std::u16string(getText(a)), std::u16string(getText(b)));
                }
    }
    // A file left behind in the build tree by a language since renamed is
    // read above as well, but only these are packaged.
    for (const std::u8string& name : shipped)
        EXPECT_EQ(seen.count(name), 1u) << std::string(name.begin(), name.end());
}

TEST(LanguageFileNames, ListingPathsLiftTheLengthLimitForDrivesAndShares)
{
    EXPECT_EQ(extendedLengthPath(u"C:\\Pagewarden\\lang"), u"\\\\?\\C:\\Pagewarden\\lang");
    EXPECT_EQ(extendedLengthPath(u"\\\\server\\tools\\Pagewarden\\lang"),
        u"\\\\?\\UNC\\server\\tools\\Pagewarden\\lang");
    EXPECT_EQ(extendedLengthPath(u"\\\\?\\C:\\lang"), u"\\\\?\\C:\\lang");
    EXPECT_EQ(extendedLengthPath(u"lang"), u"lang");
}
