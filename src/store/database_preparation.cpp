#include "store/database_preparation.h"

#include <sqlite3.h>

#include <algorithm>

#include "store/job_schema.h"
#include "store/job_store.h"
#include "store/month_totals.h"
#include "store/sqlite_calls.h"

using namespace store;

namespace {

// How far the work got is told by SQLite's virtual machine: its steps are
// counted every `stepsPerCall` instructions, against an estimate of the steps
// each piece of work takes per row, measured on files of an earlier version.
constexpr int stepsPerCall = 10000;
constexpr double stepsPerRowPerIndex = 17;
constexpr double stepsPerRowOfTotals = 68;

struct Progress {
    Preparation* preparation = nullptr;
    PreparationStep step = PreparationStep::indexes;
    double steps = 0;
    double expected = 1;
    int lastPercent = -1;
};

int onSteps(void* context)
{
    auto& progress = *static_cast<Progress*>(context);
    if (progress.preparation->cancel.load()) return 1; // interrupts the statement; it is rolled back
    progress.steps += stepsPerCall;
    const int percent = std::clamp(static_cast<int>(100 * progress.steps / progress.expected), 0, 99);
    if (percent != progress.lastPercent && progress.preparation->onProgress) {
        progress.lastPercent = percent;
        progress.preparation->onProgress(progress.step, percent);
    }
    return 0;
}

std::int64_t rowEstimate(sqlite3* db)
{
    Statement count = tryPrepare(db, u"select max(trllapri) - min(trllapri) + 1 from tbTrabajos;");
    if (!count || untilNotBusy([&] { return sqlite3_step(count.get()); }) != SQLITE_ROW) return 0;
    return sqlite3_column_int64(count.get(), 0);
}

} // namespace

bool jobDatabasePrepared(const std::u16string& folder)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    return missingIndexes(db.get()) == 0 && monthTotalsReady(db.get());
}

PreparationOutcome prepareJobDatabase(const std::u16string& folder, Preparation& preparation)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    Progress progress;
    progress.preparation = &preparation;
    const int indexes = missingIndexes(db.get());
    const bool totals = !monthTotalsReady(db.get());
    const double rows = static_cast<double>(std::max<std::int64_t>(rowEstimate(db.get()), 1));
    progress.expected = rows * (indexes * stepsPerRowPerIndex + (totals ? stepsPerRowOfTotals : 0)) + 1;
    sqlite3_progress_handler(db.get(), stepsPerCall, onSteps, &progress);

    if (indexes > 0) ensureIndexes(db.get());
    if (preparation.cancel.load()) return PreparationOutcome::cancelled;
    progress.step = PreparationStep::totals;
    if (totals) prepareMonthTotals(db.get());
    if (preparation.cancel.load()) return PreparationOutcome::cancelled;
    sqlite3_progress_handler(db.get(), 0, nullptr, nullptr);
    closeJobDatabase(std::move(db));
    if (preparation.onProgress) preparation.onProgress(PreparationStep::done, 100);
    return PreparationOutcome::ready;
}
