// A pgwarden.db stays readable and writable by SQLite 3.8.5, which other
// programs on the same file may still use, month totals and their triggers
// included: checked by a separate program built with that version
// (tests/old_reader). What it writes counts as our own julianday() reads it.
#include <gtest/gtest.h>

#ifdef PW_OLD_READER_CHECK

#include <sys/wait.h>

#include <cstdio>

#include "store/shipping_table.h"
#include "store_rows_support.h"

namespace {

using StoreOldReader = StoreFolder;

struct CheckRun {
    int exitCode = -1;
    std::string output;
};

CheckRun runOldReader(const std::filesystem::path& file)
{
    CheckRun run;
    std::string command = std::string(PW_OLD_READER_CHECK) + " '" + file.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        run.output.append(chunk, got);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> byUser(const std::u16string& folder, DateTime since)
{
    std::vector<std::string> rows;
    queryStatistics(folder, since, GroupingColumn::user, [&](const StatisticsRow& row) {
        auto narrow = [](const std::u16string& s) { return std::string(s.begin(), s.end()); };
        rows.push_back(narrow(row.group) + "|" + narrow(row.pages) + "|" + narrow(row.jobs));
    });
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

TEST_F(StoreOldReader, FileWrittenByTheStoreIsReadAndWrittenBySqlite385)
{
    const std::filesystem::path file = path / "pgwarden.db";
    // The file as earlier builds left it: 3.8.5 refuses all of it.
    {
        RawDatabase raw(folder);
        raw.exec("create table tbTrabajos (trllapri Integer primary key autoincrement,trfecha text,trusuario "
                 "text(100),trmaquina text(100), trimpresora text(100),trnumpags integer);");
        raw.exec("create table tbFechas (fellapri integer primary key autoincrement,fefecha text,fememo "
                 "text(261) );");
        raw.exec("create index ixTrabajosMaquina on tbTrabajos (trmaquina, julianday(trfecha), trnumpags);");
    }
    CheckRun before = runOldReader(file);
    EXPECT_EQ(before.exitCode, 1) << before.output;
    EXPECT_TRUE(contains(before.output, "malformed database schema")) << before.output;

    JobRecord job;
    job.userName = u"ann";
    job.machineName = u"\\\\PC1";
    job.printerName = u"Laser";
    job.pagesPrinted = 3;
    job.submitted = {2016, 3, 0, 5, 9, 7, 2, 45};
    job.hasDevMode = true;
    job.dmFields = deviceModeColor | deviceModePaperSize;
    job.details = {2, 0, 9, u""};
    job.document = u"Minutes";
    job.size = 4096;
    RecordSettings settings;
    settings.documents = true;
    settings.prices.colour = 2500;
    recordJob(folder, job, nullptr, leftQueueAt, settings);
    addSavedDate(folder, {2016, 3, 0, 1}, u"March");
    ASSERT_EQ(byUser(folder, {2016, 3, 0, 1}), std::vector<std::string>{"ann|3|1"});
    // A shipment to a central database leaves its state in a table of its own.
    ShippingWork work = takeShippingWork(folder, u"SRV", randomFileIdentity(), 500);
    markShipped(folder, work.batch.fileId, work.batch.rows.back().rowId, 0, u"2016-03-05T10:00:00.000");

    CheckRun after = runOldReader(file);
    EXPECT_EQ(after.exitCode, 0) << after.output;
    EXPECT_TRUE(contains(after.output, "sqlite 3.8.5\n")) << after.output;
    EXPECT_TRUE(contains(after.output, "job|1|2016-03-05T09:07:02.045|ann|\\\\PC1|Laser|3\n"))
        << after.output;
    EXPECT_TRUE(contains(after.output, "date|1|2016-03-01T00:00:00.000|March\n")) << after.output;
    EXPECT_TRUE(contains(after.output, "detail|1|2|NULL|A4|3|4096|Minutes|7500\n")) << after.output;
    for (const char* object : {"schema|index|ixTrabajosFechaIrregular\n", "schema|table|tbTotalesMes\n",
             "schema|trigger|trTotalesAlta\n", "schema|trigger|trTotalesCambio\n",
             "schema|trigger|trTotalesDudaMenosUno\n", "totals|2|201603|0|ann|1|1|3|0\n", "stamp|2|0\n",
             "noted|0\n", "shipping|32|1|0|2016-03-05T10:00:00.000\n", "integrity ok\n"})
        EXPECT_TRUE(contains(after.output, object)) << object << " in\n" << after.output;

    // What 3.8.5 wrote counts as our julianday() reads it: the bare
    // 20160305 that version put some 48,000 years ahead nowhere, the deleted row
    // nowhere, the changed one with its new count; and the indexes it kept are
    // sound.
    storeCallCounts() = {};
    EXPECT_EQ(byUser(folder, {2016, 3, 0, 5}), (std::vector<std::string>{"ann|3|1", "old reader|7|1"}));
    EXPECT_EQ(byUser(folder, {2000, 1, 0, 1}), (std::vector<std::string>{"ann|3|1", "old reader|42|3"}));
    EXPECT_EQ(byUser(folder, {2016, 3, 0, 1}), (std::vector<std::string>{"ann|3|1", "old reader|37|2"}));
    EXPECT_EQ(storeCallCounts().totalsStatistics, 3u);
    EXPECT_EQ(storeCallCounts().totalsMoved, 1u);
    RawDatabase raw(folder);
    for (const DateTime& since :
        {DateTime{1800, 1, 0, 1}, DateTime{2016, 3, 0, 2, 9}, DateTime{9999, 12, 0, 31, 23}})
        for (GroupingColumn column : {GroupingColumn::printer, GroupingColumn::user, GroupingColumn::machine})
            EXPECT_EQ(
                storeRows::storeFigures(folder, since, column), storeRows::plainFigures(raw, since, column));
    EXPECT_EQ(raw.rows("pragma integrity_check;"), std::vector<std::string>{"ok"});
    EXPECT_EQ(raw.rows("select fememo from tbFechas order by fellapri;"),
        (std::vector<std::string>{"March", "old reader"}));
}

#endif
