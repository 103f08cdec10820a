#include "central/central_link_win32.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "central/central_log.h"
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

namespace {

// What the viewer's kept connection found when it connected.
struct ViewerTables {
    central::CentralColumns columns;
    std::optional<central::LogColumnsGranted> log; // asked the first time the log is read
};

// One connection kept for every click of "All computers" (totals and log),
// so a click costs the query and not a log-in; the questions of several
// clicks take turns on it. A kept connection the server dropped (a restart)
// fails once: then a fresh one is asked. `ask` says whether it was answered.
bool askViewer(const CentralSetting& setting, std::u16string& error,
    const std::function<bool(OdbcConnection&, ViewerTables&)>& ask)
{
    static std::mutex turn;
    // Never freed: a disconnection while the process ends would race with it.
    static OdbcConnection& connection = *new OdbcConnection;
    static ViewerTables tables;
    std::lock_guard<std::mutex> mine(turn);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool fresh = !connection.connected();
        if (fresh) {
            tables = {};
            if (!openCentral(
                    connection, setting.viewConnection(), centralLoginSeconds, tables.columns, error))
                return false;
        }
        const bool answered = ask(connection, tables);
        connection.rollback();
        if (answered) return true;
        connection.close();
        if (fresh) return false;
    }
    return false;
}

// Which of the log's columns the viewer may read; false when it may not
// read the log at all (said in words).
bool logColumnsGranted(OdbcConnection& connection, ViewerTables& tables, std::u16string& error)
{
    if (!tables.log) {
        central::LogColumnsGranted granted;
        if (!connection.execute(central::logColumnsQuery(), {}, error, [&](const OdbcRow& row) {
                granted.log = row[0] == u"yes";
                granted.details = row[1] == u"yes";
                granted.documents = row[2] == u"yes";
            }))
            return false;
        tables.log = granted;
    }
    return true;
}

} // namespace

bool queryCentralStatistics(const CentralSetting& setting, const DateTime& since, GroupingColumn column,
    std::vector<StatisticsRow>& rows, std::u16string& error)
{
    const central::PeriodPlan plan = central::periodPlan(since);
    return askViewer(setting, error, [&](OdbcConnection& connection, ViewerTables& tables) {
        rows.clear();
        return connection.execute(central::statisticsStatement(column, tables.columns.readDetails),
            central::statisticsParameters(plan, column), error,
            [&](const OdbcRow& row) { rows.push_back(centralStatisticsRow(row)); });
    });
}

CentralLogAnswer countCentralLog(
    const CentralSetting& setting, const LogFilter& filter, std::int64_t& count, std::u16string& error)
{
    bool granted = true;
    const bool answered = askViewer(setting, error, [&](OdbcConnection& connection, ViewerTables& tables) {
        if (!logColumnsGranted(connection, tables, error)) return false;
        granted = tables.log->log;
        if (!granted) return true;
        const central::LogQuery query = central::logCountQuery(filter, *tables.log);
        count = 0;
        return connection.execute(query.statement, query.parameters, error, [&](const OdbcRow& row) {
            const std::u16string text = row[0].value_or(std::u16string());
            count = text.empty() ? 0 : std::stoll(std::string(text.begin(), text.end()));
        });
    });
    return !answered ? CentralLogAnswer::unreachable
        : granted    ? CentralLogAnswer::read
                     : CentralLogAnswer::notGranted;
}

CentralLogAnswer readCentralLogPage(const CentralSetting& setting, const CentralLogPage& page,
    std::vector<LogEntry>& entries, std::u16string& error)
{
    bool granted = true;
    const bool answered = askViewer(setting, error, [&](OdbcConnection& connection, ViewerTables& tables) {
        if (!logColumnsGranted(connection, tables, error)) return false;
        granted = tables.log->log;
        if (!granted) return true;
        const central::LogQuery query = central::logPageQuery(
            page.filter, page.order, page.after, page.count, page.fromEnd, page.skip, *tables.log);
        entries.clear();
        return connection.execute(query.statement, query.parameters, error,
            [&](const OdbcRow& row) { entries.push_back(central::logEntryOfRow(row)); });
    });
    return !answered ? CentralLogAnswer::unreachable
        : granted    ? CentralLogAnswer::read
                     : CentralLogAnswer::notGranted;
}
