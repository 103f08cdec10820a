#include "shell/totals_export_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include "common/failure.h"
#include "common/language_texts.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"
#include "shell/totals_export.h"

namespace {

constexpr UINT_PTR cmdCopy = 1;
constexpr UINT_PTR cmdSaveCsv = 2;

} // namespace

void copyTotals(HWND owner, const ShownTotals& shown)
{
    copyText(owner, totalsAsTabSeparated(shown.headers, shown.rows));
}

void copyText(HWND owner, const std::u16string& text)
{
    // Clipboard managers and viewers open the clipboard for moments at a
    // time: it is asked for again for a fifth of a second. One that another
    // program keeps is not worth a fatal report: the copy does not happen.
    for (int attempt = 1; !OpenClipboard(owner); ++attempt) {
        if (attempt == 10) return;
        Sleep(20);
    }
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory != nullptr) {
        if (void* target = GlobalLock(memory)) {
            CopyMemory(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            // Once set, the clipboard owns the memory.
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void saveTotalsAsCsv(HWND owner, const ShownTotals& shown)
{
    const std::string csv = totalsAsCsv(shown.headers, shown.rows);
    const std::optional<std::u16string> path = askCsvPath(owner, shown.csvStem, shown.since);
    if (!path) return; // cancelled
    ScopedHandle file(CreateFileW(
        wide(path->c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr)
        || written != csv.size()) {
        warnSaveFailed(owner);
        return;
    }
}

std::optional<std::u16string> askCsvPath(HWND owner, const std::u16string& stem, const DateTime& since)
{
    std::u16string fileName = suggestedCsvName(stem, since);
    fileName.resize(32768, u'\0');
    // "CSV files (*.csv)", then its pattern; the list ends with two terminators.
    std::u16string filter = getText(textid::csvFilesFilter);
    filter += u'\0';
    filter += u"*.csv";
    filter += u'\0';
    filter += u'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = wide(filter.c_str());
    dialog.lpstrFile = wide(fileName.data());
    dialog.nMaxFile = static_cast<DWORD>(fileName.size());
    dialog.lpstrDefExt = L"csv";
    // The program's own folder stays the working folder whatever the user browses.
    dialog.Flags
        = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
    return utf16(dialog.lpstrFile);
}

void showTotalsMenu(HWND owner, HWND under, const ShownTotals& shown, LPARAM screenPoint)
{
    const ExportChoice choice = chooseExport(owner, under, screenPoint);
    if (choice == ExportChoice::copy) copyTotals(owner, shown);
    if (choice == ExportChoice::saveCsv) saveTotalsAsCsv(owner, shown);
}

ExportChoice chooseExport(HWND owner, HWND under, LPARAM screenPoint)
{
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (at.x == -1 && at.y == -1) {
        RECT list;
        GetWindowRect(under, &list);
        at = {list.left + 20, list.top + 20};
    }
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) fatalError(unit::shell, u"501");
    if (!AppendMenuW(menu, MF_STRING, cmdCopy, wide(getText(textid::copyItem)))
        || !AppendMenuW(menu, MF_STRING, cmdSaveCsv, wide(getText(textid::saveCsvItem))))
        fatalError(unit::shell, u"502");
    auto command = static_cast<UINT_PTR>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
    DestroyMenu(menu);
    return command == cmdCopy   ? ExportChoice::copy
        : command == cmdSaveCsv ? ExportChoice::saveCsv
                                : ExportChoice::none;
}

void warnSaveFailed(HWND owner)
{
    MessageBoxW(
        owner, wide(getText(textid::saveFailed)), wide(getText(textid::mainTitle)), MB_OK | MB_ICONWARNING);
}
