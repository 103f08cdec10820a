// What a monitor leaves the next one when the counting changes hands, and
// the next one going on from it: every job counted once across the change.
#include <gtest/gtest.h>

#include "monitor/monitor_handover.h"
#include "monitor/sim/scripted_spooler.h"

namespace {

constexpr std::uint64_t oneMinute = 60ull * 10'000'000; // of the wall clock, in 100 ns units
constexpr std::uint64_t leftAt = 134'000'000'000'000'000ull;

// Passes as the monitor thread runs them, until the scenario's end.
std::vector<JobRecord> play(MonitorState& state, const std::string& text, std::uint64_t& now)
{
    ScriptedSpooler spooler;
    std::string error;
    EXPECT_TRUE(parseScenario(text, spooler.scenario, error)) << error;
    SpoolerReads reads = scriptedReads(spooler);
    std::vector<JobRecord> recorded;
    for (int pass = 0; pass < 100; ++pass, now += 100) {
        runPass(state, reads, now, recorded);
        finishPass(spooler);
        if (takeQuit(spooler)) break;
    }
    return recorded;
}

std::string handedRows(const std::vector<JobRecord>& jobs)
{
    std::string rows;
    for (const JobRecord& job : jobs) {
        std::u16string printer = job.printerName.value_or(u"?");
        rows += std::string(printer.begin(), printer.end()) + ":" + std::to_string(job.jobId) + "/"
            + std::to_string(job.pagesPrinted) + " ";
    }
    return rows;
}

} // namespace

// The tray program counts, then the service; then the service stops and the
// tray program takes the counting back. Between two monitors nobody polls.
TEST(MonitorHandover, JobsInFlightAreCountedOnceByOneOfTheTwo)
{
    MonitorState tray;
    std::uint64_t now = 5000;
    std::vector<JobRecord> first = play(tray,
        "pass\n"
        "printer \"Office\"\njob 1 status=0x10 printed=1 user=ana\njob 2 status=0x10 printed=1\n"
        "job 3 status=0x8\n"
        "printer \"Lab\"\njob 9 status=0x10 printed=4\n"
        // 1 done; Lab drops out of the list with 9 printed part-way: recorded.
        "pass\nprinter \"Office\"\njob 2 status=0x10 printed=2\njob 3 status=0x8\njob 4 status=0x10 "
        "printed=1\n"
        "end\n",
        now);
    EXPECT_EQ(handedRows(first), "Lab:9/4 Office:1/1 ");

    // The tray program stops for the service: what it followed goes along.
    MonitorState service;
    ASSERT_TRUE(
        decodeMonitorState(encodeMonitorState(tray, now, leftAt), now + 2000, leftAt + oneMinute, service));
    ASSERT_EQ(service.printers.size(), 1u);
    EXPECT_EQ(service.printers[0].jobs.size(), 3u);
    now += 2000;
    std::vector<JobRecord> second = play(service,
        // 2 left while nobody polled: counted from its last sighting. Lab is
        // back with 9 still listed: already counted.
        "pass\nprinter \"Office\"\njob 3 status=0x10 printed=1\njob 4 status=0x10 printed=2\n"
        "printer \"Lab\"\njob 9 status=0x10 printed=5\n"
        "pass\nprinter \"Office\"\njob 4 status=0x10 printed=3\njob 5 status=0x10 printed=1 "
        "user=\"\U0001F5A8\"\n"
        "printer \"Lab\"\n"
        "end\n",
        now);
    EXPECT_EQ(handedRows(second), "Office:2/2 Office:3/1 ");

    // The service stops; the tray program goes on from its state, four
    // minutes later: 4 and 5 left meanwhile, 4 the last time it was seen.
    MonitorState back;
    ASSERT_TRUE(decodeMonitorState(encodeMonitorState(service, now, leftAt + 2 * oneMinute), now + 240000,
        leftAt + 6 * oneMinute, back));
    now += 240000;
    std::vector<JobRecord> third = play(back, "pass\nprinter \"Office\"\nprinter \"Lab\"\nend\n", now);
    EXPECT_EQ(handedRows(third), "Office:4/3 Office:5/1 ");
    ASSERT_EQ(third.size(), 2u);
    EXPECT_EQ(third[1].userName, u"\U0001F5A8"); // the whole record went along
    EXPECT_EQ(third[1].submitted, (DateTime{2026, 1, 4, 1, 0, 0, 0, 0}));
}

TEST(MonitorHandover, OnlyAWholeFreshStateIsTaken)
{
    MonitorState left;
    std::uint64_t now = 1000;
    play(left,
        "pass\nprinter \"Office\"\njob 7 status=0x10 printed=2 user=ana document=\"Report\"\n"
        "pass\nprinter \"Office\"\njob 8 status=0x10 printed=1 nodevmode\nend\n",
        now);
    const std::string bytes = encodeMonitorState(left, now + 100, leftAt);

    // A printer, or a job of one printer, listed twice: the second would be
    // merged away with its jobs.
    MonitorState twice = left;
    twice.printers.push_back(left.printers[0]);
    MonitorState jobTwice = left;
    PrinterEntry& doubled = jobTwice.printers[0];
    doubled.jobs.push_back(doubled.jobs[0]);
    doubled.marks.push_back(doubled.marks[0]);
    doubled.flags.push_back(doubled.flags[0]);
    doubled.dated.push_back(doubled.dated[0]);

    struct Case {
        const char* what;
        std::string bytes;
        std::uint64_t wallClock;
        bool taken, damaged;
    };
    std::vector<Case> cases = {
        {"whole", bytes, leftAt + 5 * oneMinute, true, false},
        {"older than five minutes", bytes, leftAt + 5 * oneMinute + 1, false, false},
        {"from the future (a clock set back)", bytes, leftAt - 1, false, false},
        {"with a byte more", bytes + '\0', leftAt, false, true},
        {"of another version", bytes.substr(0, 4) + '\1' + bytes.substr(5), leftAt, false, true},
        {"not ours", "PWMX" + bytes.substr(4), leftAt, false, true},
        {"a count far beyond the bytes", bytes.substr(0, 16) + "\xFF\xFF\xFF\x7F" + bytes.substr(20), leftAt,
            false, true},
        {"a printer twice", encodeMonitorState(twice, now + 100, leftAt), leftAt, false, true},
        {"a job twice", encodeMonitorState(jobTwice, now + 100, leftAt), leftAt, false, true},
        {"over the size limit", bytes + std::string(handoverFileLimit - bytes.size() + 1, '\0'), leftAt,
            false, true},
    };
    // Cut anywhere: a writer that ended half-way.
    for (std::size_t length = 0; length < bytes.size(); ++length)
        cases.push_back({"cut", bytes.substr(0, length), leftAt, false, true});

    for (const Case& c : cases) {
        MonitorState state;
        state.printers.emplace_back().name = u"untouched";
        std::string damage = "stale";
        EXPECT_EQ(decodeMonitorState(c.bytes, 5000, c.wallClock, state, &damage), c.taken)
            << c.what << " " << c.bytes.size();
        EXPECT_EQ(!damage.empty(), c.damaged) << c.what << ": " << damage;
        if (!c.taken) {
            EXPECT_EQ(state.printers.size(), 1u);
            EXPECT_EQ(state.printers[0].name, u"untouched");
            continue;
        }
        ASSERT_EQ(state.printers.size(), 1u);
        const PrinterEntry& office = state.printers[0];
        ASSERT_EQ(office.jobs.size(), 1u);
        EXPECT_EQ(office.jobs[0].jobId, 8u);
        EXPECT_FALSE(office.jobs[0].hasDevMode);
        EXPECT_EQ(office.marks, (std::vector<std::uint64_t>{2}));
        EXPECT_EQ(office.flags, (std::vector<std::int32_t>{-1}));
        EXPECT_EQ(office.dated, (std::vector<std::uint8_t>{1}));
        // 7 was recorded 100 ms before the state was left: remembered for the
        // rest of its day, not for a day from the hand-over.
        JobIdentity seven{u"Office", 7, DateTime{2026, 1, 4, 1, 0, 0, 0, 0}};
        EXPECT_FALSE(state.recorded.admit(seven, 4900 + recordedJobsLifetime - 1));
        EXPECT_TRUE(state.recorded.admit(seven, 4900 + recordedJobsLifetime));
    }
}
