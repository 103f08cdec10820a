// What a hand-over between the tray program and the service costs: the
// state the stopping monitor leaves (its followed jobs and its memory of
// recorded jobs, up to its capacity) written to bytes and read back by the
// next one, against starting afresh, which costs nothing and loses the jobs
// that leave their queue in between.
#include <chrono>
#include <cstdio>
#include <string>

#include "monitor/monitor_handover.h"
#include "support/results.h"

namespace {

JobRecord jobOf(const std::u16string& printer, std::uint32_t id)
{
    JobRecord job;
    job.jobId = id;
    job.printerName = printer;
    job.machineName = u"\\\\PC-" + std::u16string(1, static_cast<char16_t>(u'A' + id % 26));
    job.userName = u"user" + std::u16string(1, static_cast<char16_t>(u'a' + id % 26));
    job.document = u"Quarterly report, draft " + std::u16string(1, static_cast<char16_t>(u'0' + id % 10));
    job.datatype = u"RAW";
    job.driverName = u"Generic PCL 6 driver";
    job.hasDevMode = true;
    job.status = 0x10;
    job.totalPages = 12;
    job.pagesPrinted = 3;
    job.submitted = {2026, 3, 1, 2, 9, static_cast<std::uint16_t>(id / 60 % 60),
        static_cast<std::uint16_t>(id % 60), static_cast<std::uint16_t>(id % 1000)};
    return job;
}

// `printers` queues of `queued` printing jobs each, and `remembered` jobs
// recorded over the last hours.
MonitorState stateOf(int printers, int queued, std::uint32_t remembered, std::uint64_t now)
{
    MonitorState state;
    for (int p = 0; p < printers; ++p) {
        PrinterEntry& entry = state.printers.emplace_back();
        entry.name = u"\\\\printserver\\Floor " + std::u16string(1, static_cast<char16_t>(u'A' + p % 26));
        for (int j = 0; j < queued; ++j) {
            entry.jobs.push_back(jobOf(entry.name, static_cast<std::uint32_t>(1000000 + p * 1000 + j)));
            entry.marks.push_back(4);
            entry.flags.push_back(-1);
            entry.dated.push_back(1);
        }
    }
    for (std::uint32_t k = 0; k < remembered; ++k) {
        JobRecord job
            = jobOf(u"\\\\printserver\\Floor " + std::u16string(1, static_cast<char16_t>(u'A' + k % 20)), k);
        state.recorded.admit(identityOf(job), now - (remembered - k) * 500);
    }
    return state;
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    constexpr std::uint64_t now = 100'000'000;
    constexpr std::uint64_t wallClock = 134'000'000'000'000'000ull;
    struct Size {
        int printers, queued;
        std::uint32_t remembered;
    };
    const Size sizes[] = {{10, 5, 1000}, {20, 50, 10000}, {20, 50, recordedJobsCapacity}};
    std::printf("%-40s %12s %12s %12s\n", "state", "bytes", "written", "read");
    for (const Size& size : sizes) {
        MonitorState state = stateOf(size.printers, size.queued, size.remembered, now);
        auto start = std::chrono::steady_clock::now();
        std::string bytes = encodeMonitorState(state, now, wallClock);
        double written = millisecondsSince(start);
        MonitorState next;
        start = std::chrono::steady_clock::now();
        bool taken = decodeMonitorState(bytes, now + 2000, wallClock + 20'000'000, next);
        double read = millisecondsSince(start);
        if (!taken || next.recorded.size() != size.remembered) {
            std::printf("the state was not taken whole\n");
            return 1;
        }
        const std::string rows
            = std::to_string(size.printers * size.queued) + " + " + std::to_string(size.remembered);
        std::printf("%-40s %12zu %12s %12s\n", (rows + " followed + remembered").c_str(), bytes.size(),
            milliseconds(written).c_str(), milliseconds(read).c_str());
        addResult("hand-over state written and read (" + std::to_string(bytes.size() / 1024) + " KiB)", rows,
            milliseconds(written + read), "0 (afresh, jobs lost)");
    }
    return 0;
}
