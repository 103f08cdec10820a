#include "monitor/change_watch_win32.h"

#include <winspool.h>

#include "common/date_time_win32.h"
#include "common/wide_text_win32.h"
#include "monitor/job_copy_win32.h"
#include "monitor/spooler_win32.h"

namespace {

struct NotifyInfoFreer {
    void operator()(PRINTER_NOTIFY_INFO* info) const { spoolFreeNotifyInfo(info); }
};
using NotifyInfo = std::unique_ptr<PRINTER_NOTIFY_INFO, NotifyInfoFreer>;

// The options asking for every field of a job record, or for a refresh of them.
struct WatchedFields {
    WORD fields[recordFields.size()];
    PRINTER_NOTIFY_OPTIONS_TYPE type{};
    PRINTER_NOTIFY_OPTIONS options{};

    explicit WatchedFields(DWORD flags)
    {
        for (std::size_t i = 0; i < recordFields.size(); ++i) fields[i] = static_cast<WORD>(recordFields[i]);
        type.Type = JOB_NOTIFY_TYPE;
        type.Count = static_cast<DWORD>(recordFields.size());
        type.pFields = fields;
        options.Version = 2;
        options.Flags = flags;
        options.Count = 1;
        options.pTypes = &type;
    }
    WatchedFields(const WatchedFields&) = delete;
    WatchedFields& operator=(const WatchedFields&) = delete;
};

std::optional<std::u16string> textOf(const PRINTER_NOTIFY_INFO_DATA& data)
{
    const auto* text = static_cast<const wchar_t*>(data.NotifyData.Data.pBuf);
    if (text == nullptr) return std::nullopt;
    // Bounded by the buffer the spooler sized, terminator or not.
    std::size_t limit = data.NotifyData.Data.cbBuf / sizeof(wchar_t), length = 0;
    while (length < limit && text[length] != 0) ++length;
    return std::u16string(utf16(text), length);
}

} // namespace

std::vector<JobChange> changesOf(const PRINTER_NOTIFY_INFO& info)
{
    std::vector<JobChange> changes;
    for (DWORD i = 0; i < info.Count; ++i) {
        const PRINTER_NOTIFY_INFO_DATA& data = info.aData[i];
        if (data.Type != JOB_NOTIFY_TYPE) continue;
        JobChange change;
        change.jobId = data.Id;
        change.field = static_cast<JobField>(data.Field);
        switch (kindOf(change.field)) {
        case FieldKind::number: change.number = data.NotifyData.adwData[0]; break;
        case FieldKind::text: change.text = textOf(data); break;
        case FieldKind::time:
            if (data.NotifyData.Data.pBuf == nullptr || data.NotifyData.Data.cbBuf < sizeof(SYSTEMTIME))
                continue; // a submission time that cannot be read is no change
            change.time = fromSystemTime(*static_cast<const SYSTEMTIME*>(data.NotifyData.Data.pBuf));
            break;
        case FieldKind::devMode: {
            const auto* devMode = static_cast<const DEVMODEW*>(data.NotifyData.Data.pBuf);
            // Only the public part is read, and only as far as the spooler gave it.
            constexpr DWORD copiesEnd = offsetof(DEVMODEW, dmCopies) + sizeof(short);
            change.hasDevMode = devMode != nullptr && data.NotifyData.Data.cbBuf >= copiesEnd;
            if (change.hasDevMode) {
                change.dmFields = devMode->dmFields;
                change.dmCopies = devMode->dmCopies;
                change.details = copyDeviceModeDetails(*devMode, data.NotifyData.Data.cbBuf, change.dmFields);
            }
            break;
        }
        case FieldKind::other: continue;
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

struct ChangeWatches::Watch {
    HANDLE printer = nullptr;
    HANDLE change = INVALID_HANDLE_VALUE;

    ~Watch()
    {
        if (change != INVALID_HANDLE_VALUE) spoolFindCloseChange(change);
        if (printer != nullptr) spoolClosePrinter(printer);
    }
};

ChangeWatches::ChangeWatches() = default;
ChangeWatches::~ChangeWatches() = default;

bool ChangeWatches::watch(const std::u16string& printer)
{
    auto entry = std::make_unique<Watch>();
    if (!spoolOpenPrinter(wide(printer.c_str()), &entry->printer)) {
        entry->printer = nullptr;
        return false;
    }
    WatchedFields fields(0);
    entry->change = spoolFindFirstChange(entry->printer, PRINTER_CHANGE_JOB, &fields.options);
    // Some spoolers answer with no handle and no last error at all.
    if (entry->change == INVALID_HANDLE_VALUE || entry->change == nullptr) {
        entry->change = INVALID_HANDLE_VALUE;
        return false;
    }
    watches_[printer] = std::move(entry);
    return true;
}

ChangesOutcome ChangeWatches::read(const std::u16string& printer, ChangesRead& read)
{
    auto found = watches_.find(printer);
    if (found == watches_.end()) return ChangesOutcome::failed;
    HANDLE change = found->second->change;
    if (WaitForSingleObject(change, 0) != WAIT_OBJECT_0) return ChangesOutcome::nothing;

    DWORD what = 0;
    PRINTER_NOTIFY_INFO* raw = nullptr;
    if (!spoolFindNextChange(change, &what, nullptr, &raw)) return ChangesOutcome::failed;
    NotifyInfo info(raw);
    if (info && (info->Flags & PRINTER_NOTIFY_INFO_DISCARDED) != 0) {
        // More changed than the spooler could keep: ask for every job as it stands.
        info.reset();
        WatchedFields refresh(PRINTER_NOTIFY_OPTIONS_REFRESH);
        raw = nullptr;
        if (!spoolFindNextChange(change, &what, &refresh.options, &raw)) return ChangesOutcome::failed;
        info.reset(raw);
        read.discarded = true;
    }
    if (info) read.changes = changesOf(*info);
    return ChangesOutcome::read;
}

void ChangeWatches::unwatch(const std::u16string& printer)
{
    watches_.erase(printer);
}

HANDLE ChangeWatches::handleOf(const std::u16string& printer) const
{
    auto found = watches_.find(printer);
    return found == watches_.end() ? nullptr : found->second->change;
}

std::size_t ChangeWatches::size() const
{
    return watches_.size();
}
