#include "central/central_link_win32.h"

#include "central/central_schema.h"
#include "central/odbc_win32.h"

namespace {

// Makes the tables that to_regclass() does not find. A role that may only
// insert and read them is never asked to create anything.
bool ensureSchema(OdbcConnection& connection, std::u16string& error)
{
    for (const central::SchemaObject& object : central::schemaObjects()) {
        bool missing = false;
        if (!connection.execute(u"SELECT CASE WHEN to_regclass(?::text) IS NULL THEN 'missing' END",
                {std::u16string(object.name)}, error,
                [&](const OdbcRow& row) { missing = row[0].has_value(); }))
            return false;
        if (missing && !connection.execute(object.statement, {}, error)) return false;
    }
    return connection.commit(error);
}

bool openCentral(OdbcConnection& connection, const CentralSetting& setting, std::u16string& error)
{
    if (!connection.open(setting.connection, centralLoginSeconds, error)) return false;
    if (ensureSchema(connection, error)) return true;
    connection.rollback();
    connection.close();
    return false;
}

} // namespace

CentralSession::CentralSession(CentralSetting setting)
    : setting_(std::move(setting))
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
    return openCentral(*session.connection_, session.setting_, error);
}

bool CentralSession::ship(void* context, const ShippingBatch& batch, std::u16string& error)
{
    auto& session = *static_cast<CentralSession*>(context);
    OdbcConnection& connection = *session.connection_;
    if (connection.execute(central::batchStatement(batch.rows.size()), central::batchParameters(batch), error)
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
    OdbcConnection connection;
    if (!openCentral(connection, setting, error)) return false;
    const central::PeriodPlan plan = central::periodPlan(since);
    rows.clear();
    const bool answered = connection.execute(central::statisticsStatement(column),
        central::statisticsParameters(plan, column), error, [&](const OdbcRow& row) {
            rows.push_back({row[0].value_or(u""), row[1].value_or(u""), row[2].value_or(u"")});
        });
    connection.rollback();
    return answered;
}
