#include "store/pending_file_win32.h"

#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"

namespace {

std::u16string pathIn(const std::u16string& folder, const std::u16string& name)
{
    return folder + u"\\" + name;
}

std::u16string damagedName()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    swprintf(name, 64, L"pgwarden-pending-damaged-%04u%02u%02u-%02u%02u%02u.txt", now.wYear, now.wMonth,
        now.wDay, now.wHour, now.wMinute, now.wSecond);
    return utf16(name);
}

} // namespace

PendingFile readPendingFile(const std::u16string& folder)
{
    PendingFile file;
    const std::u16string path = pathIn(folder, pendingFileName);
    std::string text;
    switch (readWholeFile(path, text)) {
    case FileRead::cannotOpen:
        if (GetFileAttributesW(wide(path.c_str())) == INVALID_FILE_ATTRIBUTES) return file;
        file.why = "the file cannot be opened";
        break;
    case FileRead::cannotRead: file.why = "the file cannot be read"; break;
    case FileRead::read:
        if (parsePendingFile(text, file.batches, file.why)) {
            file.state = PendingFileState::read;
            return file;
        }
        break;
    }
    file.state = PendingFileState::setAside;
    file.setAsideAs = damagedName();
    if (!MoveFileExW(
            wide(path.c_str()), wide(pathIn(folder, file.setAsideAs).c_str()), MOVEFILE_WRITE_THROUGH))
        file.setAsideAs.clear(); // still under its own name: it will be set aside next time
    return file;
}

bool addToPendingFile(const std::u16string& folder, const std::vector<JobRow>& rows)
{
    PendingFile existing = readPendingFile(folder);
    std::vector<PendingBatch> batches = std::move(existing.batches);
    batches.push_back({newBatchId(), rows});
    const std::string text = formatPendingFile(batches);

    const std::u16string path = pathIn(folder, pendingFileName);
    const std::u16string fresh = path + u".new";
    {
        ScopedHandle file(CreateFileW(wide(fresh.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
            || written != text.size() || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileW(wide(fresh.c_str()));
            return false;
        }
    }
    return MoveFileExW(
        wide(fresh.c_str()), wide(path.c_str()), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

void removePendingFile(const std::u16string& folder)
{
    DeleteFileW(wide(pathIn(folder, pendingFileName).c_str()));
}
