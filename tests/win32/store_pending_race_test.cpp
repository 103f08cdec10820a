// The pending files in a real folder: a reader that waits out another
// program's lock while a second process leaves its own batch, and files
// that are not whole.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "store/pending_file_win32.h"
#include "store_support.h"

namespace {

using namespace std::chrono_literals;

JobRow raceRow(const std::u16string& user, std::int64_t pages)
{
    return JobRow{DateTime{2026, 5, 0, 4, 8, 30, 0, 0}, user, u"PC", u"Office", pages, {}};
}

std::vector<std::string> users(const std::u16string& folder)
{
    RawDatabase raw(folder);
    return raw.rows("select trusuario||':'||trnumpags from tbTrabajos order by trusuario;");
}

using PendingRace = StoreFolder;

} // namespace

// A quit leaves batch X; the reader reads it, and waits while another
// program holds the file; meanwhile the service stops under the same lock
// and leaves batch Y. The reader applies X and removes what it read: Y
// stays, and goes in at the next round. Every row of both arrives once.
TEST_F(PendingRace, ABatchLeftWhileTheReaderWaitsArrivesOnce)
{
    closeJobDatabase(openJobDatabase(folder));
    ASSERT_TRUE(addToPendingFile(folder, {raceRow(u"ana", 1), raceRow(u"ben", 2)}));

    const PendingFiles first = readPendingFiles(folder);
    ASSERT_EQ(first.names.size(), 1u);
    ASSERT_EQ(first.batches.size(), 1u);
    {
        RawDatabase foreign(folder);
        foreign.exec("BEGIN IMMEDIATE; INSERT INTO tbFechas (fefecha, fememo) VALUES ('x', 'unsaved');");
        {
            BusyLimit limit(50ms);
            EXPECT_THROW(applyPendingBatches(folder, first.batches), DatabaseBusy);
        }
        ASSERT_TRUE(addToPendingFile(folder, {raceRow(u"cai", 3), raceRow(u"dan", 4), raceRow(u"eve", 5)}));
        foreign.exec("ROLLBACK;");
    }
    EXPECT_EQ(applyPendingBatches(folder, first.batches), 2u);
    removePendingFiles(folder, first.names);

    const PendingFiles second = readPendingFiles(folder);
    ASSERT_EQ(second.names.size(), 1u);
    EXPECT_NE(second.names[0], first.names[0]);
    EXPECT_EQ(applyPendingBatches(folder, second.batches), 3u);
    removePendingFiles(folder, second.names);

    const PendingFiles third = readPendingFiles(folder);
    EXPECT_TRUE(third.names.empty());
    EXPECT_EQ(third.setAside, 0);
    EXPECT_EQ(users(folder), (std::vector<std::string>{"ana:1", "ben:2", "cai:3", "dan:4", "eve:5"}));
}

// Damaged files are set aside, each under a name of its own, and the whole
// ones beside them still go in: a file cut short, one over the size limit,
// one repeating a batch of another file, and the single file of an earlier
// version, which is read like the others.
TEST_F(PendingRace, DamagedFilesAreSetAsideAndTheOthersGoIn)
{
    closeJobDatabase(openJobDatabase(folder));
    ASSERT_TRUE(addToPendingFile(folder, {raceRow(u"ana", 1)}));
    const PendingFiles whole = readPendingFiles(folder);
    ASSERT_EQ(whole.names.size(), 1u);
    std::string text;
    {
        std::ifstream in(path / whole.names[0], std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto plant = [&](const std::u16string& name, const std::string& bytes) {
        std::ofstream out(path / name, std::ios::binary);
        out << bytes;
    };
    plant(pendingBatchFileName(newBatchId()), text); // the same batch in another file
    plant(pendingBatchFileName(newBatchId()), text.substr(0, text.size() - 3));
    {
        std::ofstream out(path / pendingBatchFileName(newBatchId()), std::ios::binary);
        out.seekp(static_cast<std::streamoff>(pendingFileLimit));
        out.put('\n');
    }
    plant(pendingFileName, formatPendingFile({{newBatchId(), {raceRow(u"old", 7)}}}));

    const PendingFiles read = readPendingFiles(folder);
    EXPECT_EQ(read.setAside, 3);
    EXPECT_EQ(read.names.size(), 2u);
    EXPECT_EQ(applyPendingBatches(folder, read.batches), 2u);
    removePendingFiles(folder, read.names);
    EXPECT_EQ(users(folder), (std::vector<std::string>{"ana:1", "old:7"}));

    int asideCount = 0, pendingCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        const std::u16string name = entry.path().filename().u16string();
        asideCount += name.starts_with(u"pgwarden-pending-damaged-") ? 1 : 0;
        pendingCount += isPendingFileName(name) ? 1 : 0;
    }
    EXPECT_EQ(asideCount, 3);
    EXPECT_EQ(pendingCount, 0);
}
