// A fresh folder per test for the job store's file, and a plain second
// connection to look at (or lock) that file the way another program would.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "store/job_store.h"

// A zone of UTC: the local time of a job is its spooler time.
inline bool keepUtc(const DateTime& utc, DateTime& local)
{
    local = utc;
    return true;
}

// When the jobs of a test left their queue, for dates no row can hold.
inline constexpr DateTime leftQueueAt{2026, 7, 3, 15, 10, 20, 30, 400};

struct StoreFolder : ::testing::Test {
    std::filesystem::path path;
    std::u16string folder;

    void SetUp() override
    {
        static std::atomic<int> serial{0};
        // Unique to this run too: test runs of other checkouts share the
        // temporary folder, and one must never delete another's file.
        static const unsigned runId = std::random_device{}();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = test->name();
        std::replace(name.begin(), name.end(), '/', '_'); // a parameterised test's name holds one
        path = std::filesystem::temp_directory_path()
            / ("pw_store_" + name + "_" + std::to_string(runId) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        folder = path.u16string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// A connection of its own to the folder's "pgwarden.db".
class RawDatabase {
public:
    explicit RawDatabase(const std::u16string& folder)
    {
        EXPECT_EQ(sqlite3_open16(jobDatabasePath(folder).c_str(), &db_), SQLITE_OK);
        // Like any other program, it waits a moment for a lock the store
        // holds while it reads (its commit needs every reader gone).
        sqlite3_busy_timeout(db_, 10000);
    }
    ~RawDatabase() { sqlite3_close_v2(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    sqlite3* handle() { return db_; }

    void exec(const std::string& sql)
    {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << error;
        sqlite3_free(error);
    }
    // Every cell as UTF-8 text, "NULL" for a null cell; rows joined by "|" cells.
    std::vector<std::string> rows(const std::string& sql)
    {
        std::vector<std::string> result;
        auto collect = [](void* out, int count, char** cells, char**) {
            std::string row;
            for (int i = 0; i < count; ++i) {
                if (i > 0) row += '|';
                row += cells[i] ? cells[i] : "NULL";
            }
            static_cast<std::vector<std::string>*>(out)->push_back(row);
            return 0;
        };
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), collect, &result, &error), SQLITE_OK)
            << sql << ": " << error;
        sqlite3_free(error);
        return result;
    }

    // Every cell as the UTF-16 text SQLite gives for it, empty for a null
    // cell, the way the job store reads its cells; cells joined by "|".
    std::vector<std::u16string> rows16(const std::string& sql)
    {
        std::vector<std::u16string> result;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sql << ": " << sqlite3_errmsg(db_);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            std::u16string row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                if (i > 0) row += u'|';
                auto text = static_cast<const char16_t*>(sqlite3_column_text16(statement, i));
                if (text)
                    row.append(text, static_cast<std::size_t>(sqlite3_column_bytes16(statement, i)) / 2);
            }
            result.push_back(row);
        }
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3* db_ = nullptr;
};
