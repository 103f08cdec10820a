// Making a file ready for quick work: the jobs a quit left in the pending
// file, the indexes and the kept month totals. On a large file of an earlier
// version this takes minutes, so it runs on a thread of its own, reports how
// far it got, and can be stopped at any moment: what it began is rolled
// back, and the next start does it again. Portable.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

enum class PreparationStep : std::uint8_t { indexes, totals, done };

struct Preparation {
    std::atomic<bool> cancel{false};
    // Called from the preparing thread now and then: the step and how far the
    // whole preparation got, in percent.
    std::function<void(PreparationStep step, int percent)> onProgress;
};

enum class PreparationOutcome : std::uint8_t {
    ready,     // indexes and totals are there (or the file cannot hold them: it is used as it is)
    cancelled, // stopped: nothing half done is kept
};

// Builds what the file lacks. Waits for a file another program holds, as the
// thread's BusyLimit allows.
PreparationOutcome prepareJobDatabase(const std::u16string& folder, Preparation& preparation);

// Whether the file already has its indexes and totals ready, as a program
// that ran before leaves it: the interface then counts at once, while the
// preparation confirms it. A quick look; waits as the thread's BusyLimit allows.
bool jobDatabasePrepared(const std::u16string& folder);
