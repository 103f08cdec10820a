// Recording finished jobs: their rows into tbTrabajos, one transaction a batch.
#include "store/job_store.h"
#include "store/sqlite_calls.h"

using namespace store;

void recordRows(const std::u16string& folder, const std::vector<JobRow>& rows)
{
    if (rows.empty()) return;
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    // One transaction: every row or, should the file stay busy, none.
    beginWriting(db.get());
    insertJobRows(db.get(), rows);
    commitWriting(db.get());
    closeJobDatabase(std::move(db));
}

void recordJob(const std::u16string& folder, const JobRecord& job, LocalTimeConverter toLocal,
    const DateTime& leftQueue, const RecordSettings& settings)
{
    recordRows(folder, {jobRowOf(job, toLocal, leftQueue, settings)});
}
