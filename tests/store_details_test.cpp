// A job's details: the prices and settings of pagewarden.ini, what a device
// mode gives, and the rows of tbDetalles written beside the jobs, carried
// through the pending file and added to a file of an earlier version.
#include <gtest/gtest.h>

#include "store/database_preparation.h"
#include "store/pending_rows.h"
#include "store_support.h"

namespace {

TEST(StoreDetailsSettings, AmountsAreReadExactlyOrNotAtAll)
{
    const struct {
        std::u16string text;
        std::optional<Money> money;
    } cases[] = {{u"1.25", 12500}, {u"0.05", 500}, {u"3", 30000}, {u"0.0001", 1}, {u"007.5000", 75000},
        {u"1000000000", 1000000000 * moneyScale}, {u"1000000001", std::nullopt}, {u"1.23456", std::nullopt},
        {u"-1", std::nullopt}, {u"+1", std::nullopt}, {u"1.", std::nullopt}, {u".5", std::nullopt},
        {u"1,5", std::nullopt}, {u"", std::nullopt}, {u"1 EUR", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(parseMoney(c.text), c.money) << std::string(c.text.begin(), c.text.end());
}

// Windows writes the file as UTF-16 with a byte order mark and CRLF; names of
// sections and keys are case-blind, a printer's section overrides only the
// prices it gives, and a price that cannot be read counts as not given.
TEST(StoreDetailsSettings, FileInUtf16WithAPrinterOverride)
{
    const std::u16string text
        = u"; prices in euro\r\n[Record]\r\nDocuments = YES\r\n[other]\r\nmono=9\r\n"
          u"[prices]\r\nmono=0.05\r\ncolour=0.40\r\nsheet=0.01\r\n"
          u"[prices:Colour Lab]\r\ncolour=0.25\r\nsheet=free\r\n[PRICES:Öffice 2]\r\nMONO=0.02\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    const RecordSettings settings = parseRecordSettings(settingsFileText(bytes));
    EXPECT_TRUE(settings.documents);
    EXPECT_EQ(settings.pricesFor(u"Office"), (Prices{500, 4000, 100}));
    EXPECT_EQ(settings.pricesFor(u"COLOUR LAB"), (Prices{500, 2500, 100}));
    EXPECT_EQ(settings.pricesFor(u"Öffice 2"), (Prices{200, 4000, 100}));
    // The same file in UTF-8, and a file without [record], keep names private.
    std::string utf8 = utf8Of(text);
    EXPECT_EQ(parseRecordSettings(settingsFileText(utf8)).pricesFor(u"Öffice 2"), (Prices{200, 4000, 100}));
    EXPECT_FALSE(parseRecordSettings(u"[prices]\nmono=1\ndocuments=yes\n").documents);
    EXPECT_FALSE(parseRecordSettings(u"[prices]\nmono=1\n").pricesFor(u"x").colour.has_value());
}

TEST(StoreDetailsPaper, StandardSizesByTheirFormNamesOthersByNumber)
{
    const std::pair<std::int16_t, std::u16string> cases[]
        = {{1, u"Letter"}, {5, u"Legal"}, {8, u"A3"}, {9, u"A4"}, {11, u"A5"}, {41, u"German Legal Fanfold"},
            {0, u"#0"}, {42, u"#42"}, {256, u"#256"}, {-7, u"#-7"}};
    for (const auto& [size, name] : cases) EXPECT_EQ(paperSizeName(size), name) << size;
}

JobRecord colourJob(std::uint32_t pages)
{
    JobRecord job;
    job.printerName = u"Office";
    job.pagesPrinted = pages;
    job.hasDevMode = true;
    job.dmFields = deviceModeColor;
    job.details.dmColor = 2;
    return job;
}

TEST(StoreDetailsJob, DocumentsAreKeptOnlyWhenAskedAndCutWhole)
{
    JobRecord job = colourJob(1);
    job.document = std::u16string(254, u'a') + u"\U0001F5A8" + u"tail";
    RecordSettings settings;
    EXPECT_FALSE(jobDetailsOf(job, 1, settings)->document.has_value());
    settings.documents = true;
    // The pair that would cross the limit goes whole.
    EXPECT_EQ(jobDetailsOf(job, 1, settings)->document, std::u16string(254, u'a'));
    job.hasDevMode = false;
    EXPECT_FALSE(jobDetailsOf(job, 1, settings).has_value());
}

TEST(StoreDetailsJob, CostsThatLeaveSixtyFourBitsAreUnknown)
{
    RecordSettings settings;
    settings.prices.colour = 1000000000 * moneyScale;
    JobRecord job = colourJob(0xFFFFFFFF);
    job.dmFields |= deviceModeCopies;
    job.dmCopies = 0x7FFF;
    const std::int64_t pages = std::int64_t{0xFFFFFFFF} * 0x7FFF;
    EXPECT_FALSE(jobDetailsOf(job, pages, settings)->cost.has_value());
    EXPECT_EQ(jobDetailsOf(job, pages, settings)->sheets, pages);
    settings.prices.colour.reset();
    settings.prices.sheet = 1;
    EXPECT_EQ(jobDetailsOf(job, pages, settings)->cost, pages); // colour pages priced at nothing
}

using StoreDetails = StoreFolder;

// The cost is fixed when the job is recorded: a price changed afterwards
// changes only the jobs that come after it.
TEST_F(StoreDetails, APriceChangeBetweenTwoJobsCostsEachAtItsOwnPrice)
{
    RecordSettings settings;
    settings.prices.colour = 4000;
    recordJob(folder, colourJob(3), keepUtc, leftQueueAt, settings);
    settings.prices.colour = 3500;
    recordJob(folder, colourJob(3), keepUtc, leftQueueAt, settings);
    recordJob(folder, colourJob(3), keepUtc, leftQueueAt, RecordSettings());
    RawDatabase raw(folder);
    EXPECT_EQ(raw.rows("select dtllapri, dtcoste from tbDetalles order by 1;"),
        (std::vector<std::string>{"1|12000", "2|10500", "3|NULL"}));
}

// A file of the last version gains the table at its preparation, empty: its
// jobs have no details, and the next job has.
TEST_F(StoreDetails, AFileOfTheLastVersionGainsAnEmptyTable)
{
    {
        RawDatabase raw(folder);
        raw.exec("create table tbTrabajos (trllapri Integer primary key autoincrement,trfecha text,trusuario "
                 "text(100),trmaquina text(100), trimpresora text(100),trnumpags integer);"
                 "create table tbFechas (fellapri integer primary key autoincrement,fefecha text,fememo "
                 "text(261) );"
                 "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) values "
                 "('2026-01-01T00:00:00.000', 'ana', '', 'Office', 4);");
    }
    Preparation preparation;
    ASSERT_EQ(prepareJobDatabase(folder, preparation), PreparationOutcome::ready);
    RawDatabase raw(folder);
    EXPECT_EQ(raw.rows("select count(*) from tbDetalles;"), std::vector<std::string>{"0"});
    recordJob(folder, colourJob(2), keepUtc, leftQueueAt);
    EXPECT_EQ(raw.rows("select trllapri, trusuario, dtcolor, dthojas from tbTrabajos left join tbDetalles on "
                       "dtllapri = trllapri order by 1;"),
        (std::vector<std::string>{"1|ana|NULL|NULL", "2||2|2"}));
}

// Jobs that waited in the pending file keep the details (and the prices) of
// the moment they finished, nulls and empty texts apart.
TEST_F(StoreDetails, PendingJobsKeepTheirDetails)
{
    JobRow plain{DateTime{2026, 3, 0, 4, 5, 6, 7, 8}, u"ana", u"PC", u"Office", 2, std::nullopt};
    JobRow full = plain;
    full.details = JobDetails{2, 3, u"A4\ttab", 1, 1 << 20, u"", 12345};
    JobRow sparse = plain;
    sparse.details = JobDetails{};
    const std::vector<PendingBatch> batches{{newBatchId(), {plain, full, sparse}}};
    std::vector<PendingBatch> read;
    std::string why;
    ASSERT_TRUE(parsePendingFile(formatPendingFile(batches), read, why)) << why;
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].rows, batches[0].rows);
    EXPECT_EQ(applyPendingBatches(folder, read), 3u);
    RawDatabase raw(folder);
    EXPECT_EQ(raw.rows("select dtllapri, quote(dtcolor), quote(dtcaras), quote(dtpapel), quote(dthojas), "
                       "dtbytes, quote(dtdocumento), quote(dtcoste) from tbDetalles order by 1;"),
        (std::vector<std::string>{
            "2|2|3|'A4\ttab'|1|1048576|''|12345", "3|NULL|NULL|NULL|NULL|0|NULL|NULL"}));
}

} // namespace
