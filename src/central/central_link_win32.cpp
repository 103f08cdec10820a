#include "central/central_link_win32.h"

#include <algorithm>
#include <mutex>

#include "central/central_schema.h"
#include "central/odbc_win32.h"

namespace {

// Makes the tables that to_regclass() does not find. A role that may only
// insert and read them is never asked to create anything.
bool ensureTables(OdbcConnection& connection, std::u16string& error)
{
    // One question for all of them: a connection per click stays cheap.
    std::u16string names;
    for (const central::SchemaObject& object : central::schemaObjects()) {
        if (!names.empty()) names += u',';
        names += object.name;
    }
    std::vector<std::u16string> missing;
    if (!connection.execute(u"SELECT name FROM unnest(string_to_array(?::text, ',')) AS name "
                            u"WHERE to_regclass(name) IS NULL",
            {names}, error, [&](const OdbcRow& row) { missing.push_back(row[0].value_or(u"")); }))
        return false;
    for (const central::SchemaObject& object : central::schemaObjects()) {
        if (std::find(missing.begin(), missing.end(), object.name) == missing.end()) continue;
        if (!connection.execute(object.statement, {}, error)) return false;
    }
    return connection.commit(error);
}

// The tables, brought up to date as far as this role may, and what they give.
bool ensureSchema(OdbcConnection& connection, central::CentralColumns& columns, std::u16string& error)
{
    if (!ensureTables(connection, error)) return false;
    // An upgrade only the owner may make is left to the owner's first
    // connection; meanwhile this one goes on with the columns there are.
    for (const std::u16string& upgrade : central::schemaUpgrades()) {
        std::u16string refused;
        if (!connection.execute(upgrade, {}, refused) || !connection.commit(refused)) connection.rollback();
    }
    columns = {};
    if (!connection.execute(central::detailColumnsQuery(), {}, error, [&](const OdbcRow& row) {
            columns.shipDetails = row[0] == u"yes";
            columns.readDetails = row[1] == u"yes";
        }))
        return false;
    return connection.commit(error);
}

bool openCentral(OdbcConnection& connection, const std::u16string& connectionText, std::uint32_t loginSeconds,
    central::CentralColumns& columns, std::u16string& error)
{
    if (!connection.open(connectionText, loginSeconds, error)) return false;
    if (ensureSchema(connection, columns, error)) return true;
    connection.rollback();
    connection.close();
    return false;
}

// A row of the statistics statement, with its details when it has them.
StatisticsRow centralStatisticsRow(const OdbcRow& row)
{
    StatisticsRow figures{row[0].value_or(u""), row[1].value_or(u""), row[2].value_or(u"")};
    if (row.size() >= 6) {
        if (row[3]) figures.colourPages = *row[3];
        if (row[4]) figures.sheets = *row[4];
        figures.cost = row[5].value_or(u"");
    }
    return figures;
}

} // namespace

CentralSession::CentralSession(CentralSetting setting, std::function<bool()> stopping)
    : setting_(std::move(setting))
    , stopping_(std::move(stopping))
    , connection_(std::make_unique<OdbcConnection>())
{
}

CentralSession::~CentralSession() = default;

CentralLink CentralSession::link()
{
    return {this, &CentralSession::connect, &CentralSession::ship};
}

bool CentralSession::connect(void* context, std::u16string& error)
{
    auto& session = *static_cast<CentralSession*>(context);
    if (session.connection_->connected()) return true;
    const std::uint32_t seconds = session.stopping_() ? centralQuitLoginSeconds : centralLoginSeconds;
    return openCentral(*session.connection_, session.setting_.connection, seconds, session.columns_, error);
}

void CentralSession::cancel()
{
    connection_->cancel();
}

bool CentralSession::ship(void* context, const ShippingBatch& batch, std::u16string& error)
{
    auto& session = *static_cast<CentralSession*>(context);
    OdbcConnection& connection = *session.connection_;
    // A batch takes well under a second; a server that stops answering
    // in the middle must not hold a quit for long.
    constexpr std::uint32_t batchSeconds = 15;
    if (connection.execute(central::batchSettings, {}, error)
        && connection.execute(central::batchStatement(session.columns_.shipDetails),
            central::batchParameters(batch, session.columns_.shipDetails), error, nullptr, batchSeconds)
        && connection.commit(error))
        return true;
    // Whatever went wrong, the next batch starts on a fresh connection.
    connection.rollback();
    connection.close();
    return false;
}

bool queryCentralStatistics(const CentralSetting& setting, const DateTime& since, GroupingColumn column,
    std::vector<StatisticsRow>& rows, std::u16string& error)
{
    // One connection kept for every click, so a click costs the query and
    // not a log-in; the questions of several clicks take turns on it.
    static std::mutex turn;
    // Never freed: a disconnection while the process ends would race with it.
    static OdbcConnection& connection = *new OdbcConnection;
    static central::CentralColumns columns;
    std::lock_guard<std::mutex> mine(turn);
    const central::PeriodPlan plan = central::periodPlan(since);
    // A kept connection the server dropped (a restart) fails once: then a
    // fresh one is asked.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool fresh = !connection.connected();
        if (fresh && !openCentral(connection, setting.viewConnection(), centralLoginSeconds, columns, error))
            return false;
        rows.clear();
        const bool answered = connection.execute(central::statisticsStatement(column, columns.readDetails),
            central::statisticsParameters(plan, column), error,
            [&](const OdbcRow& row) { rows.push_back(centralStatisticsRow(row)); });
        connection.rollback();
        if (answered) return true;
        connection.close();
        if (fresh) return false;
    }
    return false;
}
