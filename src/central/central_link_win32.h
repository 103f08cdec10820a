// The central database reached through ODBC: a session the shipper keeps
// open between batches, and the statistics of "All computers" on a
// connection of their own.
#pragma once

#include <functional>
#include <string>

#include "central/central_setting.h"
#include "central/shipping_cycle.h"
#include "store/job_store.h"

// How long a connection attempt may take before the server counts as out of
// reach; also what a quit waits at most for it.
inline constexpr std::uint32_t centralLoginSeconds = 5;

class OdbcConnection;

// The shipper's side: connected on demand, the tables made when missing.
class CentralSession {
public:
    explicit CentralSession(CentralSetting setting);
    ~CentralSession();
    CentralSession(const CentralSession&) = delete;
    CentralSession& operator=(const CentralSession&) = delete;

    CentralLink link();

private:
    static bool connect(void* context, std::u16string& error);
    static bool ship(void* context, const ShippingBatch& batch, std::u16string& error);

    CentralSetting setting_;
    std::unique_ptr<OdbcConnection> connection_;
};

// The statistics of every computer since `since` by the grouping, rows as
// the local statistics give them. False and the reason in words when the
// server cannot answer.
bool queryCentralStatistics(const CentralSetting& setting, const DateTime& since, GroupingColumn column,
    std::vector<StatisticsRow>& rows, std::u16string& error);
