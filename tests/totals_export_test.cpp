// The totals as they leave the program: clipboard text and CSV files that
// spreadsheets read back cell for cell.
#include <gtest/gtest.h>

#include "common/language_texts.h"
#include "common/strings.h"
#include "shell/job_log_cells.h"
#include "shell/totals_export.h"

namespace {

const TotalsRow headers = {u"Name", u"Pages", u"Jobs"};

// A CSV reader as spreadsheets read RFC 4180, for checking what we write.
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> lines(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                lines.back().back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                lines.back().back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            lines.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.emplace_back(1);
            ++i;
        } else {
            lines.back().back() += c;
        }
    }
    lines.pop_back(); // after the last line end
    return lines;
}

} // namespace

TEST(TotalsExport, CsvReadsBackCellForCell)
{
    const std::vector<TotalsRow> rows = {
        {u"O'Brien, Ann", u"12", u"3"},
        {u"Say \"hi\"", u"7", u"1"},
        {u"two\r\nlines", u"5", u"2"},
        {u"\u03A0\u03AC\u03C3\u03C7\u03B1 \u0416 \u65E5\u672C \U0001F5A8", u"-3", u"1"},
        {u"", u"0", u"0"},
    };
    std::string csv = totalsAsCsv(headers, rows);
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    auto lines = parseCsv(csv.substr(3));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"Name", "Pages", "Jobs"}));
    EXPECT_EQ(lines[1], (std::vector<std::string>{"O'Brien, Ann", "12", "3"}));
    EXPECT_EQ(lines[2], (std::vector<std::string>{"Say \"hi\"", "7", "1"}));
    EXPECT_EQ(lines[3], (std::vector<std::string>{"two\r\nlines", "5", "2"}));
    EXPECT_EQ(lines[4][0],
        "\xCE\xA0\xCE\xAC\xCF\x83\xCF\x87\xCE\xB1 \xD0\x96 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x96\xA8");
    EXPECT_EQ(lines[5], (std::vector<std::string>{"", "0", "0"}));
    // Plain cells stay unquoted: what a person reads in a text editor.
    EXPECT_NE(csv.find("\r\n\"O'Brien, Ann\",12,3\r\n"), std::string::npos);
}

TEST(TotalsExport, ClipboardTextIsATableOfTabs)
{
    EXPECT_EQ(totalsAsTabSeparated(headers, {{u"Office", u"10", u"2"}, {u"Lab, 2nd floor", u"3", u"1"}}),
        u"Name\tPages\tJobs\r\nOffice\t10\t2\r\nLab, 2nd floor\t3\t1\r\n");
    // A tab or a line break in a name would split the row: the cell is quoted.
    EXPECT_EQ(totalsAsTabSeparated(headers, {{u"a\tb", u"1", u"1"}, {u"say \"x\"", u"1", u"1"}}),
        u"Name\tPages\tJobs\r\n\"a\tb\"\t1\t1\r\n\"say \"\"x\"\"\"\t1\t1\r\n");
    EXPECT_EQ(totalsAsTabSeparated(headers, {}), u"Name\tPages\tJobs\r\n");
}

TEST(TotalsExport, SuggestedNameSaysGroupingAndStart)
{
    DateTime since{2026, 1, 4, 1, 0, 0, 0, 0};
    EXPECT_EQ(suggestedCsvName(u"pages-by-user-since", since), u"pages-by-user-since-2026-01-01.csv");
    since = {1800, 1, 3, 1, 0, 0, 0, 0};
    EXPECT_EQ(suggestedCsvName(u"p\u00E1ginas/por:equipo?", since), u"p\u00E1ginasporequipo-1800-01-01.csv");
}

TEST(TotalsExport, Utf8OfEveryPlane)
{
    EXPECT_EQ(utf8Of(u"A\u00E9\u20AC\U0001F5A8"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x96\xA8");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(utf8Of(lone),
        "a\xEF\xBF\xBD"
        "b\xEF\xBF\xBD");
}

// The job log leaves in pieces as it is read. Whatever the piece size, the
// pieces put together are the CSV read back cell for cell, each piece ends
// at a line's end (a console converts each on its own), a writer that
// refuses stops the export, and a copy past its limit stops and says so.
TEST(JobLogExport, PiecesAreWholeLinesAndMakeTheWholeFile)
{
    std::vector<LogEntry> entries;
    for (int i = 0; i < 300; ++i) {
        LogEntry entry;
        entry.time = u"2026-12-0" + decimalText(1 + i % 9) + u"T10:00:00.000";
        entry.user = i % 3 == 0 ? u"O'Brien, Ann" : u"\u03A0\u03AC\u03C3\u03C7\u03B1 \U0001F5A8";
        entry.machine = u"PC-" + decimalText(i);
        entry.printer = u"Say \"hi\"";
        entry.pages = decimalText(i);
        if (i % 2) entry.document = u"two\r\nlines";
        entries.push_back(entry);
    }
    const LogWords words{u"Colour", u"Mono", {u"One", u"Long", u"Short"}};
    std::u16string language = u"\uFEFF";
    for (textid::Id id : textid::jobColumns)
        language += decimalText(id) + u"=Column " + decimalText(id) + u"\r\n";
    loadTextsFromBytes(std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(language.data()),
        reinterpret_cast<const unsigned char*>(language.data() + language.size())));
    for (std::size_t pieceBytes : {std::size_t{1}, std::size_t{700}, std::size_t{1} << 20}) {
        SCOPED_TRACE(pieceBytes);
        std::vector<std::string> pieces;
        LogExport out(
            ExportForm::csv, words,
            [&](std::string_view bytes) {
                pieces.emplace_back(bytes);
                return true;
            },
            pieceBytes);
        for (const LogEntry& entry : entries) ASSERT_TRUE(out.add(entry));
        ASSERT_TRUE(out.finish());
        std::string whole;
        for (const std::string& piece : pieces) {
            EXPECT_TRUE(piece.ends_with("\r\n"));
            whole += piece;
        }
        ASSERT_TRUE(whole.starts_with(csvFileStart));
        const auto lines = parseCsv(whole.substr(3));
        ASSERT_EQ(lines.size(), entries.size() + 1);
        EXPECT_EQ(lines[0].size(), 11u);
        EXPECT_EQ(lines[0][10], "Column 1450021");
        EXPECT_EQ(lines[1][1], "O'Brien, Ann");
        EXPECT_EQ(lines[2][4], "two\r\nlines");
        EXPECT_EQ(lines[300][3], "Say \"hi\"");
        EXPECT_EQ(lines[300][5], "299");
    }

    int written = 0;
    LogExport refused(
        ExportForm::csv, words, [&](std::string_view) { return ++written < 2; }, 700);
    std::size_t added = 0;
    while (added < entries.size() && refused.add(entries[added])) ++added;
    EXPECT_LT(added, entries.size());
    EXPECT_FALSE(refused.finish());
    EXPECT_EQ(written, 2);
    EXPECT_FALSE(refused.overLimit());

    std::u16string copied;
    LogExport copy(
        ExportForm::tabSeparated, words,
        [&](std::string_view bytes) {
            copied.append(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
            return true;
        },
        1 << 20, 4000);
    added = 0;
    while (added < entries.size() && copy.add(entries[added])) ++added;
    EXPECT_TRUE(copy.overLimit());
    EXPECT_GT(added, 10u);
    EXPECT_LT(added, 100u);
    EXPECT_FALSE(copy.finish());
    EXPECT_TRUE(copied.empty()); // nothing of a copy that cannot be whole
    freeTexts();
}
