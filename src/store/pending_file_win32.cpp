#include "store/pending_file_win32.h"

#include <unordered_set>

#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"

namespace {

std::u16string pathIn(const std::u16string& folder, const std::u16string& name)
{
    return folder + u"\\" + name;
}

std::u16string damagedName(int attempt)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[80];
    // Several files may be set aside in the same second: the later ones
    // are numbered.
    if (attempt == 0)
        swprintf(name, 80, L"pgwarden-pending-damaged-%04u%02u%02u-%02u%02u%02u.txt", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond);
    else
        swprintf(name, 80, L"pgwarden-pending-damaged-%04u%02u%02u-%02u%02u%02u-%d.txt", now.wYear,
            now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, attempt + 1);
    return utf16(name);
}

bool collectPendingName(WIN32_FIND_DATAW& entry, const char16_t*, void* context)
{
    const std::u16string name = utf16(entry.cFileName);
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isPendingFileName(name))
        static_cast<std::vector<std::u16string>*>(context)->push_back(name);
    return false;
}

// Why the file cannot be used, or nothing when its batches were added.
std::string readOne(const std::u16string& path, std::vector<PendingBatch>& batches)
{
    std::string text;
    switch (readWholeFile(path, text, pendingFileLimit)) {
    case FileRead::cannotOpen: return "the file cannot be opened";
    case FileRead::cannotRead: return "the file cannot be read";
    case FileRead::tooLarge:
        return "the file is larger than " + std::to_string(pendingFileLimit >> 20) + " MB";
    case FileRead::read: break;
    }
    std::string why;
    if (!parsePendingFile(text, batches, why)) return why;
    return {};
}

void setAside(const std::u16string& folder, const std::u16string& name, std::string why, PendingFiles& files)
{
    ++files.setAside;
    files.why = std::move(why);
    files.setAsideAs = name; // still under its own name, should no rename succeed: tried again next time
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::u16string aside = damagedName(attempt);
        if (MoveFileExW(wide(pathIn(folder, name).c_str()), wide(pathIn(folder, aside).c_str()),
                MOVEFILE_WRITE_THROUGH)) {
            files.setAsideAs = aside;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return;
    }
}

bool writeNewFile(const std::u16string& folder, const PendingBatch& batch)
{
    const std::string text = formatPendingFile({batch});
    const std::u16string path = pathIn(folder, pendingBatchFileName(batch.id));
    const std::u16string fresh = path + u".new"; // a name no reader takes
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
    // Never over another file: the batch's identity is new.
    if (MoveFileExW(wide(fresh.c_str()), wide(path.c_str()), MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileW(wide(fresh.c_str()));
    return false;
}

} // namespace

PendingFiles readPendingFiles(const std::u16string& folder)
{
    std::vector<std::u16string> names;
    forEachFolderEntry(folder.c_str(), collectPendingName, &names);
    PendingFiles files;
    std::unordered_set<std::string> ids;
    for (const std::u16string& name : names) {
        std::vector<PendingBatch> batches;
        std::string why = readOne(pathIn(folder, name), batches);
        if (why.empty()) {
            for (const PendingBatch& batch : batches)
                if (ids.count(batch.id) != 0) why = "a batch of the file is also in another pending file";
        }
        if (!why.empty()) {
            // A file that went between the listing and the reading was
            // applied and removed by another process: nothing is wrong.
            if (GetFileAttributesW(wide(pathIn(folder, name).c_str())) != INVALID_FILE_ATTRIBUTES)
                setAside(folder, name, std::move(why), files);
            continue;
        }
        for (PendingBatch& batch : batches) {
            ids.insert(batch.id);
            files.batches.push_back(std::move(batch));
        }
        files.names.push_back(name);
    }
    return files;
}

bool addToPendingFile(const std::u16string& folder, const std::vector<JobRow>& rows)
{
    for (const PendingBatch& batch : pendingBatchesOf(rows))
        if (!writeNewFile(folder, batch)) return false;
    return true;
}

void removePendingFiles(const std::u16string& folder, const std::vector<std::u16string>& names)
{
    for (const std::u16string& name : names) DeleteFileW(wide(pathIn(folder, name).c_str()));
}
