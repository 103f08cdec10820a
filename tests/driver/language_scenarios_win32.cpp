// Scenarios of the language window, each on a private copy of the program's
// folder: the shared "lang" folder of the other scenarios stays untouched.
#include <algorithm>
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

const std::wstring english = L"English.lang.txt";
const std::wstring spanish = L"Espa\u00F1ol.lang.txt";

struct LanguageWindow {
    HWND window = nullptr, accept = nullptr, combo = nullptr;
};

std::wstring folderOf(const std::wstring& program)
{
    return program.substr(0, program.find_last_of(L'\\'));
}

std::vector<std::wstring> langNames(const std::wstring& program)
{
    std::vector<std::wstring> names = folderNames(folderOf(program) + L"\\lang");
    return names;
}

std::vector<std::wstring> sorted(std::vector<std::wstring> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

bool renameIn(const std::wstring& program, const std::wstring& from, const std::wstring& to)
{
    std::wstring lang = folderOf(program) + L"\\lang\\";
    return MoveFileW((lang + from).c_str(), (lang + to).c_str()) != FALSE;
}

LanguageWindow openLanguageWindow(const Program& program, HWND main)
{
    PostMessageW(main, WM_COMMAND, cmdLanguage, 0);
    LanguageWindow found;
    found.window = waitForWindow(languageClass, program);
    check(found.window != nullptr, "the language window opens");
    if (found.window == nullptr) return found;
    std::vector<HWND> controls = childWindows(found.window);
    check(controls.size() == 2, "with its button and its list");
    if (controls.size() == 2) found.accept = controls[0], found.combo = controls[1];
    return found;
}

void accept(const LanguageWindow& language)
{
    PostMessageW(language.accept, BM_CLICK, 0, 0);
}

// The fatal report of a failed choice: its line, the unit, exit code 1.
void expectReport(const Program& program, const wchar_t* line, const char* what)
{
    HWND box = waitForMessageBox(program);
    check(box != nullptr, what);
    if (box == nullptr) return;
    std::wstring message = messageBoxText(box);
    check(message.find(L"\r\n" + std::wstring(line) + L"\r\n") != std::wstring::npos
            && message.find(L"milibreria") != std::wstring::npos,
        "the report names its line and the unit milibreria");
    dismissMessageBox(box);
    check(program.ends() && program.exitCode() == 1, "dismissed, it ends the program with code 1");
}

void choosingALanguage()
{
    const std::wstring path = privateProgramCopy(L"language-choose");
    check(langNames(path) == sorted({L"_" + english, spanish}), "a folder with English marked and Spanish");
    {
        Program program(path);
        HWND main = waitForMainWindow(program);
        check(main != nullptr, "the program starts");
        trayClick(main);
        LanguageWindow language = openLanguageWindow(program, main);
        if (language.combo == nullptr) return;
        check(windowText(language.window) == texts[25], "its title is text 25");
        RECT frame{};
        GetWindowRect(language.window, &frame);
        check(frame.right - frame.left == 250 && frame.bottom - frame.top == 150
                && frame.left == (GetSystemMetrics(SM_CXMAXIMIZED) - 250) / 2
                && frame.top == (GetSystemMetrics(SM_CYMAXIMIZED) - 150) / 2,
            "250 x 150 at the centre of the screen");
        check(GetWindow(language.window, GW_OWNER) == main && !IsWindowEnabled(main),
            "the main window owns it and is disabled meanwhile");
        check(GetDlgCtrlID(language.accept) == cmdAcceptLanguage && windowText(language.accept) == texts[28]
                && sameRect(childRect(language.accept), 25, 75, 200, 25),
            "the accept button: id 10001, text 28, at 25, 75, 200 x 25");
        RECT list = childRect(language.combo);
        check(GetDlgCtrlID(language.combo) == languageComboId && (styleOf(language.combo) & CBS_SORT)
                && (styleOf(language.combo) & 3) == CBS_DROPDOWNLIST && list.left == 25 && list.top == 25
                && list.right == 200,
            "the list: id 10000, a sorted drop-down list at 25, 25, 200 wide");
        check(comboTexts(program, language.combo) == std::vector<std::wstring>{L"English", L"Espa\u00F1ol"},
            "it lists the language names, sorted");
        check(SendMessageW(language.combo, CB_GETCURSEL, 0, 0) == 0, "the first is selected");
        screenshot(language.window, L"language-1");

        SendMessageW(language.combo, CB_SETCURSEL, 1, 0);
        accept(language);
        HWND box = waitForMessageBox(program);
        check(box != nullptr, "choosing Spanish shows a message");
        if (box != nullptr) {
            check(messageBoxText(box) == texts[29] && windowText(box).empty(),
                "text 29, with an empty caption");
            check(langNames(path) == sorted({english, L"_" + spanish}),
                "Spanish carries the mark, English no longer");
            dismissMessageBox(box);
        }
        check(waitUntil([&] { return !IsWindow(language.window) && IsWindowEnabled(main); }),
            "the window closes and the main window is enabled");
        check(SendMessageW(findStatisticsControls(main).groupBox, WM_GETTEXTLENGTH, 0, 0)
                == static_cast<LRESULT>(texts[1000000].size()),
            "the running program keeps its language");
        PostMessageW(main, WM_COMMAND, cmdQuit, 0);
        check(program.ends() && program.exitCode() == 0, "and quits with code 0");
    }
    // Wine cannot read another process's menus: the group box tells the language.
    const std::map<unsigned long, std::wstring> spanishTexts
        = languageTexts(folderOf(path) + L"\\lang\\_" + spanish);
    Program again(path);
    HWND main = waitForMainWindow(again);
    StatisticsControls view = findStatisticsControls(main);
    check(view.complete() && windowText(view.groupBox) == spanishTexts.at(1000000),
        "at the next start the group box reads the Spanish text 1000000");
    quitFromTheMenu(again, main);
}

void acceptingAndClosingWithoutAChoice()
{
    const std::wstring path = privateProgramCopy(L"language-first");
    check(renameIn(path, L"_" + english, english) && renameIn(path, spanish, L"_" + spanish),
        "a folder with Spanish marked");
    // The program speaks the language it started in.
    const std::wstring chosen = languageTexts(folderOf(path) + L"\\lang\\_" + spanish)[29];
    Program program(path);
    HWND main = waitForMainWindow(program);
    LanguageWindow language = openLanguageWindow(program, main);
    if (language.combo == nullptr) return;
    PostMessageW(language.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    check(waitUntil([&] { return !IsWindow(language.window) && IsWindowEnabled(main); }),
        "the close box closes it");
    check(langNames(path) == sorted({english, L"_" + spanish}), "and renames nothing");

    language = openLanguageWindow(program, main);
    if (language.combo == nullptr) return;
    accept(language);
    HWND box = waitForMessageBox(program);
    check(
        box != nullptr && messageBoxText(box) == chosen, "accepting at once shows text 29, in Spanish still");
    check(langNames(path) == sorted({L"_" + english, spanish}),
        "and marks the first language in sort order, not the active one");
    if (box != nullptr) dismissMessageBox(box);
    quitFromTheMenu(program, main);
}

// A file and its marked twin: no plan can end with one mark, so nothing is
// renamed and the program ends in the report of line 398.
void aFileAndItsMarkedTwin()
{
    const std::wstring path = privateProgramCopy(L"language-twin");
    const std::wstring lang = folderOf(path) + L"\\lang\\";
    check(CopyFileW((lang + L"_" + english).c_str(), (lang + english).c_str(), FALSE) != FALSE,
        "English.lang.txt and _English.lang.txt side by side");
    const std::vector<std::wstring> before = langNames(path);
    Program program(path);
    HWND main = waitForMainWindow(program);
    LanguageWindow language = openLanguageWindow(program, main);
    if (language.combo == nullptr) return;
    check(comboTexts(program, language.combo)
            == std::vector<std::wstring>{L"English", L"English", L"Espa\u00F1ol"},
        "the list shows English twice");
    SendMessageW(language.combo, CB_SETCURSEL, 2, 0);
    accept(language);
    expectReport(program, L"398", "choosing ends in the fatal report");
    check(langNames(path) == before, "no name changed");
}

// The chosen file held open by another process cannot be renamed: the
// renames already made are taken back, so one file still carries the mark.
void theChosenFileHeldOpen()
{
    const std::wstring path = privateProgramCopy(L"language-held");
    Program program(path);
    HWND main = waitForMainWindow(program);
    LanguageWindow language = openLanguageWindow(program, main);
    if (language.combo == nullptr) return;
    HANDLE held = CreateFileW((folderOf(path) + L"\\lang\\" + spanish).c_str(), GENERIC_READ, FILE_SHARE_READ,
        nullptr, OPEN_EXISTING, 0, nullptr);
    check(held != INVALID_HANDLE_VALUE, "another process holds Espa\u00F1ol.lang.txt open");
    SendMessageW(language.combo, CB_SETCURSEL, 1, 0);
    accept(language);
    expectReport(program, L"429", "the mark cannot be put on it");
    CloseHandle(held);
    check(langNames(path) == sorted({L"_" + english, spanish}), "English still carries the mark");
}

// The folder changed while the window was open: the chosen language is gone.
void theChoiceVanished()
{
    const std::wstring path = privateProgramCopy(L"language-vanished");
    Program program(path);
    HWND main = waitForMainWindow(program);
    LanguageWindow language = openLanguageWindow(program, main);
    if (language.combo == nullptr) return;
    check(renameIn(path, spanish, L"Castellano.lang.txt"), "Spanish is renamed while the window is open");
    SendMessageW(language.combo, CB_SETCURSEL, 1, 0);
    accept(language);
    check(waitUntil([&] {
        HWND box = findWindow(L"#32770", program.id(), true);
        return box != nullptr && messageBoxText(box) != texts[29];
    }),
        "no message of success");
    expectReport(program, L"429", "a report instead");
    check(langNames(path) == sorted({L"Castellano.lang.txt", L"_" + english}),
        "and the names stay as they were");
}

const bool registered = addScenario(L"language-choose", choosingALanguage)
    && addScenario(L"language-first", acceptingAndClosingWithoutAChoice)
    && addScenario(L"language-twin", aFileAndItsMarkedTwin)
    && addScenario(L"language-held", theChosenFileHeldOpen)
    && addScenario(L"language-vanished", theChoiceVanished);

} // namespace
