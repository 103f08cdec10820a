#include "central/odbc_win32.h"

#include <sqlucode.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "central/central_setting.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"

namespace {

// The ODBC functions, found in odbc32.dll at the first connection.
struct OdbcApi {
    decltype(&SQLAllocHandle) allocHandle = nullptr;
    decltype(&SQLFreeHandle) freeHandle = nullptr;
    decltype(&SQLSetEnvAttr) setEnvAttr = nullptr;
    decltype(&SQLSetConnectAttrW) setConnectAttr = nullptr;
    decltype(&SQLSetStmtAttrW) setStmtAttr = nullptr;
    decltype(&SQLDriverConnectW) driverConnect = nullptr;
    decltype(&SQLDisconnect) disconnect = nullptr;
    decltype(&SQLExecDirectW) execDirect = nullptr;
    decltype(&SQLBindParameter) bindParameter = nullptr;
    decltype(&SQLNumResultCols) numResultCols = nullptr;
    decltype(&SQLFetch) fetch = nullptr;
    decltype(&SQLGetData) getData = nullptr;
    decltype(&SQLEndTran) endTran = nullptr;
    decltype(&SQLGetDiagRecW) getDiagRec = nullptr;
    decltype(&SQLCancel) cancel = nullptr;
    bool loaded = false;
};

template <typename Function> bool find(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Loaded once for the process and never unloaded: handles of it may live
// in more than one thread.
const OdbcApi& odbcApi()
{
    static OdbcApi api;
    static std::once_flag once;
    std::call_once(once, [] {
        HMODULE module = LoadLibraryExW(L"odbc32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) return;
        api.loaded = find(module, "SQLAllocHandle", api.allocHandle)
            && find(module, "SQLFreeHandle", api.freeHandle) && find(module, "SQLSetEnvAttr", api.setEnvAttr)
            && find(module, "SQLSetConnectAttrW", api.setConnectAttr)
            && find(module, "SQLSetStmtAttrW", api.setStmtAttr)
            && find(module, "SQLDriverConnectW", api.driverConnect)
            && find(module, "SQLDisconnect", api.disconnect) && find(module, "SQLExecDirectW", api.execDirect)
            && find(module, "SQLBindParameter", api.bindParameter)
            && find(module, "SQLNumResultCols", api.numResultCols) && find(module, "SQLFetch", api.fetch)
            && find(module, "SQLGetData", api.getData) && find(module, "SQLEndTran", api.endTran)
            && find(module, "SQLGetDiagRecW", api.getDiagRec) && find(module, "SQLCancel", api.cancel);
    });
    return api;
}

bool succeeded(SQLRETURN result)
{
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

// One handle of a kind, freed with its kind when it goes.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE handle)
        : type_(type)
        , handle_(handle)
    {
    }
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept
        : type_(other.type_)
        , handle_(std::exchange(other.handle_, nullptr))
    {
    }
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            reset();
            type_ = other.type_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    void reset()
    {
        if (handle_ != nullptr) odbcApi().freeHandle(type_, std::exchange(handle_, nullptr));
    }

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = nullptr;
};

// Every diagnostic record of the handle as "message (SQLSTATE)", joined.
std::u16string diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::u16string words;
    for (SQLSMALLINT record = 1; record <= 8; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(2048);
        SQLSMALLINT length = 0;
        SQLRETURN result = odbcApi().getDiagRec(type, handle, record, state, &native, message.data(),
            static_cast<SQLSMALLINT>(message.size()), &length);
        if (!succeeded(result)) break;
        std::u16string text(utf16(reinterpret_cast<wchar_t*>(message.data())));
        // A message longer than the buffer comes cut: the mark lets
        // withoutSecrets mask the start of a password cut there.
        if (length >= static_cast<SQLSMALLINT>(message.size())) text += u'\u2026';
        while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
            text.pop_back();
        if (!words.empty()) words += u" ";
        words += text + u" (" + utf16(reinterpret_cast<wchar_t*>(state)) + u")";
    }
    return words;
}

// Each value bound as SQL_C_WCHAR text, a null as SQL_NULL_DATA; `lengths`
// holds one length a value, read by the driver when the statement runs.
bool bindParameters(SQLHANDLE statement, const OdbcParameters& parameters, std::vector<SQLLEN>& lengths)
{
    static SQLWCHAR empty[1] = {0};
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const auto& value = parameters[i];
        SQLPOINTER data = empty;
        SQLULEN size = 1;
        if (!value) {
            lengths[i] = SQL_NULL_DATA;
        } else {
            lengths[i] = static_cast<SQLLEN>(value->size() * sizeof(char16_t));
            if (!value->empty()) data = const_cast<char16_t*>(value->data());
            size = std::max<SQLULEN>(value->size(), 1);
        }
        if (!succeeded(odbcApi().bindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                SQL_C_WCHAR, SQL_WVARCHAR, size, 0, data, lengths[i] > 0 ? lengths[i] : 0, &lengths[i])))
            return false;
    }
    return true;
}

// One cell of the row fetched last, absent for a null. Read in pieces: a
// name may be longer than any one buffer. False when a piece cannot be read.
bool readCell(SQLHANDLE statement, SQLSMALLINT column, std::optional<std::u16string>& value)
{
    std::u16string cell;
    bool isNull = false;
    for (;;) {
        SQLWCHAR piece[1024];
        SQLLEN got = 0;
        SQLRETURN result = odbcApi().getData(
            statement, static_cast<SQLUSMALLINT>(column + 1), SQL_C_WCHAR, piece, sizeof piece, &got);
        if (result == SQL_NO_DATA) break;
        if (!succeeded(result)) return false;
        if (got == SQL_NULL_DATA) {
            isNull = true;
            break;
        }
        const std::size_t room = sizeof piece / sizeof piece[0] - 1;
        const std::size_t units = got == SQL_NO_TOTAL || static_cast<std::size_t>(got) / 2 > room
            ? room
            : static_cast<std::size_t>(got) / 2;
        cell.append(utf16(reinterpret_cast<wchar_t*>(piece)), units);
        if (result == SQL_SUCCESS) break;
    }
    value = isNull ? std::nullopt : std::optional<std::u16string>(cell);
    return true;
}

// Every row of the statement's result, each handed to onRow; false when a
// row or a cell cannot be read.
bool fetchRows(SQLHANDLE statement, const std::function<void(const OdbcRow&)>& onRow)
{
    SQLSMALLINT columns = 0;
    if (!succeeded(odbcApi().numResultCols(statement, &columns))) return false;
    OdbcRow row(static_cast<std::size_t>(columns));
    for (;;) {
        SQLRETURN result = odbcApi().fetch(statement);
        if (result == SQL_NO_DATA) return true;
        if (!succeeded(result)) return false;
        for (SQLSMALLINT column = 0; column < columns; ++column)
            if (!readCell(statement, column, row[static_cast<std::size_t>(column)])) return false;
        onRow(row);
    }
}

} // namespace

struct OdbcConnection::Handles {
    Handle environment, connection;
    bool connected = false;
};

// The statement running now, for a cancel from another thread: set before
// the statement is sent and cleared before its handle is freed, under the
// turn, so a cancel never reaches a freed handle.
class OdbcConnection::Running {
public:
    Running(OdbcConnection& owner, SQLHANDLE statement)
        : owner_(owner)
    {
        std::lock_guard<std::mutex> mine(owner_.cancelTurn_);
        owner_.running_ = statement;
    }
    ~Running()
    {
        std::lock_guard<std::mutex> mine(owner_.cancelTurn_);
        owner_.running_ = nullptr;
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    OdbcConnection& owner_;
};

OdbcConnection::OdbcConnection() = default;

OdbcConnection::~OdbcConnection()
{
    close();
}

bool OdbcConnection::connected() const
{
    return handles_ && handles_->connected;
}

void OdbcConnection::close()
{
    if (!handles_) return;
    // Disconnecting first ends any transaction left open: it is rolled back.
    if (handles_->connected) odbcApi().disconnect(handles_->connection.get());
    handles_->connection.reset();
    handles_->environment.reset();
    handles_.reset();
}

bool OdbcConnection::open(const std::u16string& connection, std::uint32_t loginSeconds, std::u16string& error)
{
    close();
    connection_ = connection;
    const OdbcApi& api = odbcApi();
    if (!api.loaded) {
        error = getText(textid::odbcMissing);
        return false;
    }
    auto handles = std::make_unique<Handles>();
    SQLHANDLE raw = nullptr;
    if (!succeeded(api.allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &raw))) {
        error = getText(textid::centralNoReason);
        return false;
    }
    handles->environment = Handle(SQL_HANDLE_ENV, raw);
    api.setEnvAttr(raw, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!succeeded(api.allocHandle(SQL_HANDLE_DBC, handles->environment.get(), &raw))) {
        error = withoutSecrets(diagnostics(SQL_HANDLE_ENV, handles->environment.get()), connection);
        return false;
    }
    handles->connection = Handle(SQL_HANDLE_DBC, raw);
    api.setConnectAttr(
        raw, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginSeconds)), 0);
    // Drivers that honour it bound every later request on the connection
    // (a commit included) as well; the others are cancelled from outside.
    api.setConnectAttr(raw, SQL_ATTR_CONNECTION_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginSeconds)), 0);
    std::u16string text = connection;
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    SQLRETURN result = api.driverConnect(raw, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS,
        completed, 1024, &completedLength, SQL_DRIVER_NOPROMPT);
    SecureZeroMemory(completed, sizeof completed); // it holds the password too
    if (!succeeded(result)) {
        error = withoutSecrets(diagnostics(SQL_HANDLE_DBC, raw), connection);
        if (error.empty()) error = getText(textid::centralNoReason);
        return false;
    }
    handles->connected = true;
    if (!succeeded(api.setConnectAttr(raw, SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)), SQL_IS_UINTEGER))) {
        error = withoutSecrets(diagnostics(SQL_HANDLE_DBC, raw), connection);
        handles_ = std::move(handles);
        close();
        return false;
    }
    handles_ = std::move(handles);
    return true;
}

bool OdbcConnection::execute(const std::u16string& statement, const OdbcParameters& parameters,
    std::u16string& error, const std::function<void(const OdbcRow&)>& onRow, std::uint32_t timeoutSeconds)
{
    if (!connected()) {
        error = getText(textid::centralNoReason);
        return false;
    }
    const OdbcApi& api = odbcApi();
    SQLHANDLE raw = nullptr;
    if (!succeeded(api.allocHandle(SQL_HANDLE_STMT, handles_->connection.get(), &raw))) {
        error = withoutSecrets(diagnostics(SQL_HANDLE_DBC, handles_->connection.get()), connection_);
        return false;
    }
    Handle handle(SQL_HANDLE_STMT, raw);
    auto fail = [&] {
        error = withoutSecrets(diagnostics(SQL_HANDLE_STMT, raw), connection_);
        if (error.empty()) error = getText(textid::centralNoReason);
        return false;
    };
    api.setStmtAttr(
        raw, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    // The values and their lengths stay where they are until the statement ran.
    std::vector<SQLLEN> lengths(parameters.size());
    if (!bindParameters(raw, parameters, lengths)) return fail();
    Running running(*this, raw);
    std::u16string text = statement;
    SQLRETURN result = api.execDirect(raw, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
    if (!succeeded(result) && result != SQL_NO_DATA) return fail();
    if (!onRow) return true;
    if (!fetchRows(raw, onRow)) return fail();
    return true;
}

bool OdbcConnection::commit(std::u16string& error)
{
    if (!connected()) {
        error = getText(textid::centralNoReason);
        return false;
    }
    SQLRETURN result = odbcApi().endTran(SQL_HANDLE_DBC, handles_->connection.get(), SQL_COMMIT);
    if (succeeded(result)) return true;
    error = withoutSecrets(diagnostics(SQL_HANDLE_DBC, handles_->connection.get()), connection_);
    if (error.empty()) error = getText(textid::centralNoReason);
    return false;
}

void OdbcConnection::cancel()
{
    std::lock_guard<std::mutex> mine(cancelTurn_);
    if (running_ != nullptr) odbcApi().cancel(running_);
}

void OdbcConnection::rollback()
{
    if (connected()) odbcApi().endTran(SQL_HANDLE_DBC, handles_->connection.get(), SQL_ROLLBACK);
}
