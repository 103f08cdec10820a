// Whole monitor passes played from the scenario files in tests/scenarios, and
// the scenario format itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/strings.h"
#include "monitor/job_tracking.h"
#include "monitor/sim/scripted_spooler.h"
#include "store_support.h"

namespace {

std::string readScenarioFile(const std::string& name)
{
    std::ifstream file(std::string(PW_SOURCE_DIR) + "/tests/scenarios/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct ScenarioRun {
    ScriptedSpooler spooler;
    std::vector<JobRecord> recorded;
    MonitorState state;
    int passes = 0;
    bool stopped = false; // a stop came in the middle of a pass
};

// Runs passes the way the monitor thread does until the scenario's quit, a
// tenth of a second apart, reading the waiting change notifications between
// two passes.
void play(ScenarioRun& run, int passLimit = 1000)
{
    SpoolerReads reads = scriptedReads(run.spooler);
    while (run.passes < passLimit) {
        const std::uint64_t now = 100u * static_cast<unsigned>(run.passes);
        PassOutcome outcome = runPass(run.state, reads, now, run.recorded);
        if (outcome.stopped) {
            run.stopped = true;
            break;
        }
        ++run.passes;
        readAllChanges(run.state, reads, now, run.recorded);
        finishPass(run.spooler);
        if (takeQuit(run.spooler)) break;
    }
    unwatchAll(run.state, reads);
}

void playText(ScenarioRun& run, const std::string& text)
{
    std::string error;
    ASSERT_TRUE(parseScenario(text, run.spooler.scenario, error)) << error;
    play(run);
}

} // namespace

// Outside the anonymous namespace: gtest's parameter factories hold them.
struct Row {
    std::u16string printer;
    std::uint32_t jobId;
    std::uint32_t pagesPrinted;
};

static std::vector<Row> rowsOf(const std::vector<JobRecord>& recorded)
{
    std::vector<Row> rows;
    for (const JobRecord& job : recorded)
        rows.push_back({job.printerName.value_or(u"?"), job.jobId, job.pagesPrinted});
    return rows;
}

struct ScenarioCase {
    const char* file;
    std::vector<Row> rows; // in the order the recorders are started
};

static void PrintTo(const ScenarioCase& c, std::ostream* out)
{
    *out << c.file;
}

class MonitorScenario : public ::testing::TestWithParam<ScenarioCase> { };

TEST_P(MonitorScenario, RecordsExactlyTheExpectedJobs)
{
    ScenarioRun run;
    playText(run, readScenarioFile(GetParam().file));
    std::vector<Row> rows = rowsOf(run.recorded);
    const std::vector<Row>& expected = GetParam().rows;
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].printer, expected[i].printer) << "row " << i;
        EXPECT_EQ(rows[i].jobId, expected[i].jobId) << "row " << i;
        EXPECT_EQ(rows[i].pagesPrinted, expected[i].pagesPrinted) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(MonitorFiles, MonitorScenario,
    ::testing::Values(ScenarioCase{"worked-example.txt", {{u"Office", 7, 3}}},
        ScenarioCase{"deleted-before-printing.txt", {}}, ScenarioCase{"paused-at-last-sighting.txt", {}},
        ScenarioCase{"complete-then-gone.txt", {{u"Office", 4, 2}}},
        ScenarioCase{"two-printers.txt", {{u"Office", 10, 2}, {u"Lab", 20, 5}}},
        // 30 and 32 printed pages; 31 was printing but had printed none.
        ScenarioCase{"printer-vanishes.txt", {{u"Lab", 30, 2}, {u"Lab", 32, 4}}},
        // The last printer vanishing: the job with pages printed gives its row.
        ScenarioCase{"no-printers.txt", {{u"Office", 40, 3}}},
        // The sighting during the unopenable passes was never read.
        ScenarioCase{"unopenable.txt", {{u"Office", 50, 1}}},
        // The failed read judges nothing: one row, from the last sighting.
        ScenarioCase{"jobs-fail.txt", {{u"Office", 60, 3}}},
        // No fatal report: the printer is skipped while its information fails.
        ScenarioCase{"info-fails.txt", {{u"Lab", 57, 4}, {u"Office", 55, 2}}},
        ScenarioCase{"printer-added.txt", {{u"New printer", 70, 2}}},
        ScenarioCase{"unreachable-recovery.txt", {{u"Office", 80, 1}}},
        ScenarioCase{"stop-while-unreachable.txt", {}},
        // One queue listed twice gives each of its jobs one row.
        ScenarioCase{"printer-listed-twice.txt", {{u"Office", 5, 2}}},
        // Recorded when its printer vanished, not again when it leaves after the return.
        ScenarioCase{"printer-returns.txt", {{u"Lab", 45, 1}}},
        ScenarioCase{"reused-job-id.txt", {{u"Office", 8, 2}, {u"Office", 8, 5}}},
        ScenarioCase{"stale-job-count.txt", {{u"Office", 2, 3}}},
        // The printers after the quit are not read: Slow B's job gives no row.
        ScenarioCase{"quit-while-slow.txt", {{u"Fast", 1, 1}, {u"Slow A", 2, 2}}},
        ScenarioCase{"huge-page-count.txt", {{u"Office", 9, 0xFFFFFFFFu}}},
        ScenarioCase{"bom-names.txt", {{u"\uFEFFOffice", 11, 1}, {u"\uFFFELab", 12, 2}}},
        ScenarioCase{"tz-dst.txt",
            {{u"Office", 101, 1}, {u"Office", 102, 2}, {u"Office", 103, 3}, {u"Office", 104, 4},
                {u"Office", 105, 5}, {u"Office", 106, 6}}}),
    [](const ::testing::TestParamInfo<ScenarioCase>& param) {
        std::string name;
        for (const char* c = param.param.file; *c && *c != '.'; ++c) name.push_back(*c == '-' ? '_' : *c);
        return name;
    });

TEST(MonitorScenarioRun, WorkedExampleRecordsTheLastSightingWhole)
{
    ScenarioRun run;
    playText(run, readScenarioFile("worked-example.txt"));
    ASSERT_EQ(run.recorded.size(), 1u);
    const JobRecord& job = run.recorded[0];
    EXPECT_EQ(job.status, 0x10u);
    EXPECT_EQ(job.totalPages, 3u);
    EXPECT_EQ(job.userName, u"ana");
    EXPECT_EQ(job.machineName, u"\\\\PC-ANA");
    EXPECT_EQ(job.document, u"Quarterly report");
    EXPECT_FALSE(job.notifyName.has_value());
    EXPECT_TRUE(job.hasDevMode);
    EXPECT_EQ(job.dmFields & deviceModeCopies, 0u);
    EXPECT_EQ(job.submitted, (DateTime{2026, 1, 4, 1, 0, 0, 0, 0}));
    EXPECT_EQ(run.passes, 4);
    EXPECT_TRUE(run.state.printers.at(0).jobs.empty());
}

TEST(MonitorScenarioRun, AQuitWhileASlowServerIsReadStopsBeforeTheNextPrinter)
{
    ScenarioRun run;
    playText(run, readScenarioFile("quit-while-slow.txt"));
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.passes, 1); // the second pass never finished
    // Only Slow A was opened after the quit: not the four slow servers' 12 s.
    EXPECT_EQ(run.spooler.readingMilliseconds, 3000u);
    ASSERT_EQ(run.state.printers.size(), 5u);
    EXPECT_EQ(run.state.printers[2].jobs.size(), 1u); // Slow B keeps its job, unjudged
}

TEST(MonitorScenarioRun, UnreachableSpoolerIsRetriedAfterASecondAndTheStopEndsTheWait)
{
    ScenarioRun recovery;
    playText(recovery, readScenarioFile("unreachable-recovery.txt"));
    EXPECT_EQ(recovery.spooler.retryWaits, (std::vector<std::uint32_t>{1000, 1000}));
    EXPECT_FALSE(recovery.stopped);
    EXPECT_EQ(recovery.passes, 2); // the two failed enumerations belong to the second pass

    ScenarioRun stop;
    playText(stop, readScenarioFile("stop-while-unreachable.txt"));
    EXPECT_TRUE(stop.stopped);
    EXPECT_EQ(stop.spooler.retryWaits.size(), 1u);
    EXPECT_TRUE(stop.recorded.empty());
}

namespace {

std::string utf8(const std::u16string& text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size())
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        appendUtf8(result, code);
    }
    return result;
}

// The row the job store makes of a record, in the expected file's form
// (submitted time in UTC).
std::string expectedRowOf(const JobRecord& job)
{
    std::int64_t pages = job.pagesPrinted != 0 ? job.pagesPrinted : job.totalPages;
    if (job.hasDevMode && (job.dmFields & deviceModeCopies) != 0)
        pages *= std::max<std::int64_t>(job.dmCopies, 1);
    char date[64];
    const DateTime& at = job.submitted;
    std::snprintf(date, sizeof date, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d", at.year, at.month, at.day, at.hour,
        at.minute, at.second, at.milliseconds);
    return std::string(date) + "|" + utf8(job.userName.value_or(u"")) + "|"
        + utf8(job.machineName.value_or(u"")) + "|" + utf8(job.printerName.value_or(u"")) + "|"
        + std::to_string(pages);
}

} // namespace

TEST(MonitorScenarioRun, MixedScenarioRecordsTheGeneratedExpectation)
{
    ScenarioRun run;
    playText(run, readScenarioFile("mixed-200.txt"));
    EXPECT_EQ(run.state.printers.size(), 5u);
    std::vector<std::string> rows;
    for (const JobRecord& job : run.recorded) rows.push_back(expectedRowOf(job));
    std::sort(rows.begin(), rows.end());

    std::vector<std::string> expected;
    std::istringstream file(readScenarioFile("mixed-200.expected"));
    for (std::string line; std::getline(file, line);)
        if (!line.empty()) expected.push_back(line);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], expected[i]);
}

namespace {

class MonitorScenarioRows : public StoreFolder, public ::testing::WithParamInterface<std::string> { };

std::string scenarioFileIfAny(const std::string& name)
{
    if (!std::filesystem::exists(std::string(PW_SOURCE_DIR) + "/tests/scenarios/" + name)) return {};
    return readScenarioFile(name);
}

std::vector<std::string> sortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream file(text);
    for (std::string line; std::getline(file, line);)
        if (!line.empty()) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> sortedRows(RawDatabase& raw, const std::string& query)
{
    std::vector<std::string> rows = raw.rows(query);
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

// The check the Wine runs make of the simulation build (tests/scenarios/
// check-scenario), made here through the same job store: every scenario's
// rows in pgwarden.db, with times kept in UTC, are those of its .expected file.
TEST_P(MonitorScenarioRows, RowsInTheStoreAreThoseOfTheExpectedFile)
{
    const std::string name = GetParam();
    ScenarioRun run;
    playText(run, readScenarioFile(name + ".txt"));
    closeJobDatabase(openJobDatabase(folder));
    const std::string ini = scenarioFileIfAny(name + ".ini");
    const RecordSettings settings = parseRecordSettings(settingsFileText(ini));
    for (const JobRecord& job : run.recorded) recordJob(folder, job, keepUtc, leftQueueAt, settings);
    RawDatabase raw(folder);
    EXPECT_EQ(sortedRows(raw,
                  "select trfecha||'|'||trusuario||'|'||trmaquina||'|'||trimpresora||'|'||trnumpags "
                  "from tbTrabajos;"),
        sortedLines(readScenarioFile(name + ".expected")));
    const std::string details = scenarioFileIfAny(name + ".details");
    if (details.empty()) return;
    EXPECT_EQ(sortedRows(raw,
                  "select trusuario||'|'||trimpresora||'|'||quote(dtcolor)||'|'||quote(dtcaras)||'|'||"
                  "quote(dtpapel)||'|'||quote(dthojas)||'|'||quote(dtbytes)||'|'||quote(dtdocumento)||'|'||"
                  "quote(dtcoste) from tbTrabajos join tbDetalles on dtllapri = trllapri;"),
        sortedLines(details));
}

// Every scenario that has rows expected in UTC (NAME.expected).
static std::vector<std::string> scenariosWithExpectedRows()
{
    std::vector<std::string> names;
    for (const auto& entry :
        std::filesystem::directory_iterator(std::string(PW_SOURCE_DIR) + "/tests/scenarios")) {
        const std::string file = entry.path().filename().string();
        if (entry.path().extension() != ".expected") continue;
        const std::string name = file.substr(0, file.size() - 9);
        if (name.find('.') == std::string::npos) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(MonitorFiles, MonitorScenarioRows, ::testing::ValuesIn(scenariosWithExpectedRows()),
    [](const ::testing::TestParamInfo<std::string>& param) {
        std::string name;
        for (char c : param.param) name.push_back(c == '-' ? '_' : c);
        return name;
    });

TEST(MonitorScenarioRun, WithoutEndTheLastSnapshotRepeats)
{
    ScenarioRun run;
    playText(run, "pass\nprinter \"P\"\njob 1 status=16 printed=1\n");
    EXPECT_EQ(run.passes, 1000); // never quits
    EXPECT_TRUE(run.recorded.empty());
    ASSERT_EQ(run.state.printers.size(), 1u);
    EXPECT_EQ(run.state.printers[0].jobs.size(), 1u);
}

TEST(MonitorScenarioParse, ReadsEveryKeyAndQuotedValue)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parseScenario(
        "\xEF\xBB\xBF# comment\r\n\r\npass\r\n  printer \"O'Brien \\\\srv\\Queue 2\" unopenable "
        "jobs-fail info-fails reports=0x10 slow=250 quit\r\n"
        "job 0x2A status=0x1010 printed=12 total=15 copies=3 user=\"Ana Ruiz\" machine=PC "
        "document=\"a \\ b's\" submitted=2025-12-31T23:59:58.250\r\n"
        "job 43 nodevmode copies=2 user=\"Se\xC3\xB1or \xF0\x9F\x96\xA8\"\r\n"
        "pass unreachable\r\nend\r\n",
        scenario, error))
        << error;
    ASSERT_EQ(scenario.snapshots.size(), 2u);
    EXPECT_TRUE(scenario.end);
    EXPECT_TRUE(scenario.snapshots[1].unreachable);
    const ScriptedPrinter& printer = scenario.snapshots[0].printers.at(0);
    EXPECT_EQ(printer.name, u"O'Brien \\\\srv\\Queue 2");
    EXPECT_TRUE(printer.unopenable);
    EXPECT_TRUE(printer.jobsFail);
    EXPECT_TRUE(printer.infoFails);
    EXPECT_EQ(printer.reportedJobs, 16u);
    EXPECT_EQ(reportedJobCount(printer), 16u);
    EXPECT_EQ(printer.slowMilliseconds, 250u);
    EXPECT_TRUE(printer.quitWhileRead);
    ASSERT_EQ(printer.jobs.size(), 2u);

    const JobRecord& first = printer.jobs[0];
    EXPECT_EQ(first.jobId, 42u);
    EXPECT_EQ(first.status, 0x1010u);
    EXPECT_EQ(first.pagesPrinted, 12u);
    EXPECT_EQ(first.totalPages, 15u);
    EXPECT_TRUE(first.hasDevMode);
    EXPECT_EQ(first.dmFields, deviceModeCopies);
    EXPECT_EQ(first.dmCopies, 3);
    EXPECT_EQ(first.userName, u"Ana Ruiz");
    EXPECT_EQ(first.machineName, u"PC");
    EXPECT_EQ(first.document, u"a \\ b's");
    EXPECT_EQ(first.printerName, printer.name);
    EXPECT_EQ(first.submitted, (DateTime{2025, 12, 3, 31, 23, 59, 58, 250})); // a Wednesday

    const JobRecord& second = printer.jobs[1];
    EXPECT_FALSE(second.hasDevMode);
    EXPECT_EQ(second.dmFields, 0u);
    EXPECT_EQ(second.userName, u"Se\u00F1or \U0001F5A8");
    EXPECT_FALSE(second.machineName.has_value());
    EXPECT_FALSE(second.document.has_value());
}

TEST(MonitorScenarioParse, RejectsMalformedLinesNamingTheLine)
{
    const std::pair<const char*, const char*> cases[] = {
        {"printer \"P\"\n", "line 1"},
        {"pass\njob 1\n", "line 2"},
        {"pass\nprinter \"P\nend\n", "line 2"},
        {"pass\nprinter \"P\"\njob x\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 colour=red\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 printed=ten\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 color=maybe\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 duplex=both\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 papersize=40000\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 form=\"A name longer than a device mode can hold\"\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 submitted=2026-01-01 00:00:00\n", "line 3"},
        {"pass\nprinter \"P\"\njob 1 submitted=2026-02-29T00:00:00.000\n", "line 3"}, // not a leap year
        {"pass\nprinter \"P\" offline\n", "line 2"},
        {"pass\nprinter \"P\" reports=\n", "line 2"},
        {"pass\nprinter \"P\" reports=-1\n", "line 2"},
        {"pass\nprinter \"P\" slow=soon\n", "line 2"},
        {"pass\nprinter \"P\" info-fail\n", "line 2"},
        {"pass unreachable\nprinter \"P\"\n", "line 2"},
        {"pass\nend\npass\n", "line 3"},
        {"pass\nflush\n", "line 2"},
        {"pass after=\n", "line 1"},
        {"pass\nprinter \"\xC3\"\n", "line 2"},
    };
    for (const auto& [text, line] : cases) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(parseScenario(text, scenario, error)) << text;
        EXPECT_EQ(error.rfind(std::string(line) + ":", 0), 0u) << text << " gave " << error;
    }
}

TEST(MonitorScriptedSpooler, QuitComesOnceAfterTheLastSnapshotsPass)
{
    ScriptedSpooler spooler;
    std::string error;
    ASSERT_TRUE(parseScenario("pass\npass\nend\n", spooler.scenario, error));
    takeSnapshot(spooler);
    finishPass(spooler);
    EXPECT_FALSE(takeQuit(spooler));
    takeSnapshot(spooler);
    EXPECT_FALSE(takeQuit(spooler)); // not before its pass is over
    finishPass(spooler);
    EXPECT_TRUE(takeQuit(spooler));
    takeSnapshot(spooler);
    finishPass(spooler);
    EXPECT_FALSE(takeQuit(spooler));
    EXPECT_EQ(spooler.taken, 2u);
}

// A snapshot marked after= waits for its file: a test outside the program
// decides when a job leaves its queue.
TEST(MonitorScriptedSpooler, ASnapshotWaitsForItsFile)
{
    static bool released = false;
    ScriptedSpooler spooler;
    spooler.fileExists = [](const std::u16string& name) { return released && name == u"go \u00E9.txt"; };
    std::string error;
    ASSERT_TRUE(
        parseScenario("pass\nprinter \"P\"\njob 1 status=16 printed=2\npass after=\"go \xC3\xA9.txt\"\n"
                      "printer \"P\"\n",
            spooler.scenario, error))
        << error;
    EXPECT_EQ(spooler.scenario.snapshots[1].after, u"go \u00E9.txt");
    EXPECT_EQ(takeSnapshot(spooler).printers.at(0).jobs.size(), 1u);
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(takeSnapshot(spooler).printers.at(0).jobs.size(), 1u);
    released = true;
    EXPECT_TRUE(takeSnapshot(spooler).printers.at(0).jobs.empty());
    EXPECT_EQ(spooler.taken, 2u);

    // Without anyone to ask, every file is there.
    ScriptedSpooler plain;
    ASSERT_TRUE(parseScenario("pass\npass after=x\n", plain.scenario, error));
    takeSnapshot(plain);
    takeSnapshot(plain);
    EXPECT_EQ(plain.taken, 2u);
}
