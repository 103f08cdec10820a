// ODBC like any other handle: odbc32.dll loaded on first use from the system folder alone,
// so a program without the central setting never loads it), the
// environment, connection and statement handles owned and freed in reverse
// order, every value a bound SQL_C_WCHAR parameter, and every failure turned
// into words from SQLGetDiagRecW here, once, without the connection string.
#pragma once

#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using OdbcParameters = std::vector<std::optional<std::u16string>>;
// The cells of one result row as text; absent for a null.
using OdbcRow = std::vector<std::optional<std::u16string>>;

class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Connects with the string, giving up after the time-out; transactions
    // are then explicit (commit or rollback). False and the reason in words.
    bool open(const std::u16string& connection, std::uint32_t loginSeconds, std::u16string& error);
    bool connected() const;
    void close();

    // Runs one statement with its parameters; rows, if any, go to onRow.
    bool execute(const std::u16string& statement, const OdbcParameters& parameters, std::u16string& error,
        const std::function<void(const OdbcRow&)>& onRow = nullptr, std::uint32_t timeoutSeconds = 60);
    bool commit(std::u16string& error);
    void rollback();
    // From another thread: asks the driver to end the statement running on
    // the connection, which then fails. A driver may take its time to ask
    // the server, so a caller that must not wait calls it from a thread of
    // its own.
    void cancel();

private:
    struct Handles;
    class Running;
    std::unique_ptr<Handles> handles_;
    std::mutex cancelTurn_;
    SQLHANDLE running_ = nullptr;
    std::u16string connection_; // kept only to take it out of messages
};
