// What the store's operations did, for tests and measurements: counted per
// thread by the SQLite calls, the schema, the month totals and the statistics.
// Portable: no Windows header here.
#pragma once

#include <cstdint>

struct StoreCallCounts {
    std::uint64_t waitingCalls = 0;       // openings, compiles and steps made under the busy wait
    std::uint64_t busyAnswers = 0;        // of those, the ones that found the file busy
    std::uint64_t schemaStatements = 0;   // table and index creations and drops run while opening
    std::uint64_t narrowedStatistics = 0; // statistics that read only the rows near their period
    std::uint64_t totalsStatistics = 0;   // statistics read from the kept month totals
    std::uint64_t totalsMonths = 0;       // pages per month read from the kept month totals
    std::uint64_t totalsCounted = 0;      // times the month totals were counted from every job
    std::uint64_t totalsMoved = 0;        // rows another SQLite version had put in another month
    std::uint64_t totalsReadSteps = 0;    // virtual machine steps of the reads of the totals
};
// The counts of the calling thread.
StoreCallCounts& storeCallCounts();
