// A fresh folder per test for the job store's file, and a plain second
// connection to look at (or lock) that file the way another program would.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif
#include <filesystem>
#include <string>
#include <vector>

#include "store/misqlite.h"

inline long processId()
{
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

struct StoreFolder : ::testing::Test {
    std::filesystem::path path;
    std::u16string folder;

    void SetUp() override
    {
        static std::atomic<int> serial{0};
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps two test runs on one machine out of each other's folders.
        path = std::filesystem::temp_directory_path()
            / ("pw_store_" + std::to_string(processId()) + "_" + std::string(test->name()) + "_"
                + std::to_string(serial++));
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
    }
    ~RawDatabase() { sqlite3_close_v2(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

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

private:
    sqlite3* db_ = nullptr;
};
