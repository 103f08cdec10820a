// A printer monitor that rescans everything at every pass, kept only to be
// measured beside ours: the printer table built anew at every pass and its
// entries matched by name one against all, jobs matched between polls by id
// one against all, every finished job deep-copied into fixed blocks of 1,004
// units per text, and no pause at all between passes while any queue holds a
// job. The spooler is reached through the same reads as ours, so the
// difference measured is the logic's alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "monitor/job_tracking.h"

namespace rescanning {

// A finished job as this monitor copies it: each text in a block of its own.
struct CopiedJob {
    std::vector<std::vector<char16_t>> texts;
    std::vector<unsigned char> devMode;
};

struct FollowedPrinter {
    std::u16string name;
    std::vector<JobRecord> jobs;
    std::vector<std::uint32_t> marks; // PagesPrinted + 1 while printing
    std::vector<std::int32_t> flags;  // -1 while printing
};

struct Monitor {
    std::vector<FollowedPrinter> printers;
    std::vector<std::unique_ptr<CopiedJob>> recorders; // freed at the next pass, as reaping does
    std::uint32_t pacingMark = 0;
};

struct Pass {
    bool busy = false;
    std::size_t recorded = 0;
};

Pass runPass(Monitor& monitor, const SpoolerReads& spooler);

// 100 ms between idle passes on a fixed schedule; none while busy.
std::uint32_t pauseAfterPass(bool busy, std::uint32_t& mark, std::uint32_t now);

} // namespace rescanning
