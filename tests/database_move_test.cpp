// Moving pgwarden.db into the service's data folder: real files, every
// outcome, and the rows counted on both sides.
#include <fstream>

#include "store/database_move.h"
#include "store_support.h"

namespace {

struct DatabaseMoveTest : StoreFolder {
    std::u16string programFolder() const { return (path / "program").u16string(); }
    std::u16string dataFolder() const { return (path / "data").u16string(); }
    void fillProgramDatabase(int jobs)
    {
        std::filesystem::create_directories(path / "program");
        RawDatabase db(programFolder());
        db.exec("PRAGMA encoding='UTF-16le'; CREATE TABLE tbTrabajos (trllapri INTEGER PRIMARY KEY, trfecha "
                "TEXT, trusuario TEXT, trmaquina TEXT, trimpresora TEXT, trnumpags INTEGER);"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
            + std::to_string(jobs)
            + ") INSERT INTO tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) SELECT "
              "'2026-01-01T00:00:00.000', 'ana', 'PC', 'Office', i FROM n;");
    }
    static void writeBytes(const std::filesystem::path& file, const std::string& bytes)
    {
        std::ofstream(file, std::ios::binary) << bytes;
    }
};

TEST_F(DatabaseMoveTest, EachOutcomeKeepsEveryRowSomewhere)
{
    enum Setup { none, database, alsoInData, damaged };
    struct Case {
        const char* what;
        Setup setup;
        DatabaseMove outcome;
        std::int64_t jobs;
        bool leftInProgram, inData;
    };
    const Case cases[] = {
        {"nothing beside the program", none, DatabaseMove::nothingToMove, 0, false, false},
        {"moved with its rows, checked", database, DatabaseMove::moved, 2500, false, true},
        {"the data folder has one: both stay", alsoInData, DatabaseMove::alreadyThere, 0, true, true},
        {"no database: it stays, none is made", damaged, DatabaseMove::unreadable, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(path / "program");
        std::filesystem::remove_all(path / "data");
        std::filesystem::create_directories(path / "program");
        std::filesystem::create_directories(path / "data");
        if (c.setup == database || c.setup == alsoInData) fillProgramDatabase(2500);
        if (c.setup == alsoInData) writeBytes(path / "data" / "pgwarden.db", "");
        if (c.setup == damaged) writeBytes(path / "program" / "pgwarden.db", std::string(8192, 'x'));

        DatabaseMoveResult result = moveJobDatabase(programFolder(), dataFolder());
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.jobs, c.jobs);
        EXPECT_EQ(std::filesystem::exists(path / "program" / "pgwarden.db"), c.leftInProgram);
        EXPECT_EQ(std::filesystem::exists(path / "data" / "pgwarden.db"), c.inData);
        if (c.outcome != DatabaseMove::moved) continue;
        RawDatabase moved(dataFolder());
        EXPECT_EQ(moved.rows("SELECT count(*), sum(trnumpags) FROM tbTrabajos;"),
            std::vector<std::string>{"2500|3126250"});
        EXPECT_EQ(moved.rows("PRAGMA encoding;"), std::vector<std::string>{"UTF-16le"})
            << "the file is copied as it was";
        EXPECT_FALSE(std::filesystem::exists(path / "program" / "pgwarden.db-journal"));
    }
}

} // namespace
