// Scenarios of copying and saving the totals: Ctrl+C and the list's menu put
// a tab-separated table on the clipboard; "Save as CSV..." writes a file that
// reads back cell for cell, names with commas, quotes and any letters included.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

// The rows put in by another program: what the program shows, it must take
// out again unchanged.
const wchar_t* const rowsSql
    = L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) values"
      L" ('2026-01-05T09:00:00.000', 'O''Brien, Ann', 'PC-1', 'Laser, 2nd floor', 12),"
      L" ('2026-01-05T10:00:00.000', 'Say \"hi\"', 'PC-2', 'Laser, 2nd floor', 3),"
      L" ('2026-01-06T11:00:00.000', '\u03A0\u03AC\u03C3\u03C7\u03B1', 'PC-1', "
      L"'\u30D7\u30EA\u30F3\u30BF \u0416', 5);";

std::wstring quotedTab(const std::wstring& cell)
{
    if (cell.find_first_of(L"\t\r\n\"") == std::wstring::npos) return cell;
    std::wstring quoted = L"\"";
    for (wchar_t c : cell) quoted += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
    return quoted + L"\"";
}

// The table the list shows, headers first, as the clipboard should hold it.
std::wstring expectedTable(const std::vector<Row>& rows)
{
    std::wstring text = texts[1200001] + L"\t" + texts[1200002] + L"\t" + texts[1200003] + L"\r\n";
    for (const Row& row : rows) text += quotedTab(row[0]) + L"\t" + row[1] + L"\t" + row[2] + L"\r\n";
    return text;
}

void openListMenu(const Program& program, HWND list)
{
    RECT r{};
    GetWindowRect(list, &r);
    PostMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(r.left + 30, r.top + 30));
    check(waitForTrayMenu(program) != nullptr, "a right click in the list opens its menu");
}

void chooseMenuItem(const Program& program, int position)
{
    HWND menu = waitForTrayMenu(program);
    if (menu == nullptr) return;
    for (int i = 0; i <= position; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_CHAR, L'\r', 0);
}

// RFC 4180, as spreadsheets read it; the file's UTF-8 turned back into text.
std::vector<std::vector<std::wstring>> readCsv(const std::wstring& path)
{
    std::vector<std::vector<std::wstring>> lines;
    HANDLE file
        = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    check(bytes.rfind("\xEF\xBB\xBF", 0) == 0, "the file is UTF-8 with a byte order mark");
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + 3,
        static_cast<int>(bytes.size() - 3), text.data(), static_cast<int>(text.size()))));
    lines.emplace_back(1);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (quoted && c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
            lines.back().back() += L'"';
            ++i;
        } else if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && c == L',') {
            lines.back().emplace_back();
        } else if (!quoted && c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            lines.emplace_back(1);
            ++i;
        } else {
            lines.back().back() += c;
        }
    }
    lines.pop_back();
    return lines;
}

void copyingAndSavingTheTotals()
{
    databaseFromAFirstRun(rowsSql);
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    if (!view.complete()) return;
    trayClick(main);
    clickTab(program, view.groupingTabs, 1);
    check(waitUntil([&] { return listRows(program, view.statsList).size() == 3; }, 10000),
        "three users are listed");
    const std::vector<Row> rows = listRows(program, view.statsList);

    emptyClipboard();
    check(focusByClick(main, view.statsList), "the list has the focus");
    // Another program (a clipboard viewer) holds the clipboard for a moment
    // as the key comes.
    const bool held = OpenClipboard(nullptr) != FALSE;
    pressKeys({VK_CONTROL, 'C'});
    Sleep(150);
    if (held) CloseClipboard();
    check(waitUntil([&] { return !clipboardText().empty(); }, 10000),
        "Ctrl+C puts text on the clipboard, also when another program held it a moment");
    check(clipboardText() == expectedTable(rows), "the shown rows as a table of tabs, headers first");

    emptyClipboard();
    openListMenu(program, view.statsList);
    screenshot(main, L"export-1-menu");
    chooseMenuItem(program, 0);
    check(waitUntil([&] { return clipboardText() == expectedTable(rows); }, 10000),
        "Copy in the list's menu does the same");

    const std::wstring saved = programFolder() + L"\\totals export.csv";
    DeleteFileW(saved.c_str());
    openListMenu(program, view.statsList);
    chooseMenuItem(program, 1);
    HWND dialog = waitForMessageBox(program);
    check(dialog != nullptr, "Save as CSV opens the save dialog");
    if (dialog == nullptr) return;
    HWND name = GetDlgItem(dialog, 0x47C); // the file name box of the standard dialog
    if (name == nullptr) name = GetDlgItem(dialog, 0x480);
    check(windowText(name) == L"pages-by-user-since-1800-01-01.csv",
        "it suggests a name of the grouping and the start");
    screenshot(dialog, L"export-2-dialog");
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saved.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    check(waitUntil([&] { return GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000),
        "the file is written");
    Sleep(300);
    std::vector<std::vector<std::wstring>> expected = {{texts[1200001], texts[1200002], texts[1200003]}};
    for (const Row& row : rows) expected.push_back({row[0], row[1], row[2]});
    check(readCsv(saved) == expected,
        "it reads back cell for cell: commas, quotes, Greek and Japanese included");

    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"export-totals", copyingAndSavingTheTotals);

} // namespace
