// The central database reached through ODBC: a session the shipper keeps
// open between batches, and the statistics of "All computers" on a
// connection of their own.
#pragma once

#include <functional>
#include <string>

#include "central/central_schema.h"
#include "central/central_setting.h"
#include "central/shipping_cycle.h"
#include "store/job_log.h"
#include "store/job_store.h"

// How long a connection attempt may take before the server counts as out of
// reach; once a stop was asked for, the last attempt gets less. A log-in
// cannot be cancelled, and a process may not end before it returns (under
// Wine, where the driver runs outside the Windows threads): it bounds a
// quit, which must end within five seconds.
inline constexpr std::uint32_t centralLoginSeconds = 3;
inline constexpr std::uint32_t centralQuitLoginSeconds = 2;

class OdbcConnection;

// The shipper's side: connected on demand, the tables made when missing.
class CentralSession {
public:
    // `stopping` says whether a stop was asked for.
    CentralSession(CentralSetting setting, std::function<bool()> stopping);
    ~CentralSession();
    CentralSession(const CentralSession&) = delete;
    CentralSession& operator=(const CentralSession&) = delete;

    CentralLink link();
    // From another thread: the statement under way fails soon (see
    // OdbcConnection::cancel).
    void cancel();

private:
    static bool connect(void* context, std::u16string& error);
    static bool ship(void* context, const ShippingBatch& batch, std::u16string& error);

    CentralSetting setting_;
    std::function<bool()> stopping_;
    std::unique_ptr<OdbcConnection> connection_;
    central::CentralColumns columns_; // as the connection found the tables
};

// The statistics of every computer since `since` by the grouping, rows as
// the local statistics give them. False and the reason in words when the
// server cannot answer.
bool queryCentralStatistics(const CentralSetting& setting, const DateTime& since, GroupingColumn column,
    std::vector<StatisticsRow>& rows, std::u16string& error);

// Every computer's job log, read as this computer's is: the number of
// entries the filter gives, and a page of them (see central/central_log.h).
enum class CentralLogAnswer { read, notGranted, unreachable };
struct CentralLogPage {
    LogFilter filter;
    LogOrder order;
    const LogEntry* after = nullptr;
    std::size_t count = 0;
    bool fromEnd = false;
    std::size_t skip = 0;
};
CentralLogAnswer countCentralLog(
    const CentralSetting& setting, const LogFilter& filter, std::int64_t& count, std::u16string& error);
CentralLogAnswer readCentralLogPage(const CentralSetting& setting, const CentralLogPage& page,
    std::vector<LogEntry>& entries, std::u16string& error);
