#include "common/language_window_win32.h"
#include "common/window_contract.h"

#include <vector>

#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_choice.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "common/window_helpers_win32.h"

namespace {

constexpr int windowWidth = 250;
constexpr int windowHeight = 150;

HWND languageCombo;

bool collectEntry(WIN32_FIND_DATAW& entry, const char16_t*, void* context)
{
    static_cast<std::vector<FolderEntryName>*>(context)->push_back(
        {utf16(entry.cFileName), (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    return false;
}

// The folder is listed once per step, and every decision is taken on that
// one listing.
std::vector<FolderEntryName> listLanguageFolder(const std::u16string& folder)
{
    std::vector<FolderEntryName> entries;
    forEachFolderEntry(folder.c_str(), collectEntry, &entries);
    return entries;
}

void fillLanguageCombo()
{
    for (const std::u16string& name : listedLanguageNames(listLanguageFolder(languageFolder())))
        if (SendMessageW(languageCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name.c_str())))
            == CB_ERR)
            fatalError(unit::library, u"347");
    // The first name in the list's order, not the active language: a folder
    // without any language file ends here too.
    if (SendMessageW(languageCombo, CB_SETCURSEL, 0, 0) == CB_ERR) fatalError(unit::library, u"356");
}

HWND createControl(HWND window, const wchar_t* className, const char16_t* text, DWORD style, int x, int y,
    int width, int height, WORD id)
{
    HWND control = CreateWindowExW(0, className, wide(text), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y,
        width, height, window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
        nullptr);
    if (control == nullptr) fatalError(unit::library, u"345");
    setDefaultFont(control);
    return control;
}

void createLanguageControls(HWND window)
{
    createControl(window, L"button", getText(textid::acceptButton), BS_PUSHBUTTON, 25, 75, 200, 25,
        contract::cmdAcceptLanguage);
    languageCombo = createControl(
        window, L"combobox", u"", CBS_DROPDOWNLIST | CBS_SORT, 25, 25, 200, 125, contract::languageComboId);
    fillLanguageCombo();
}

bool moveFile(const std::u16string& folder, const FileRename& rename)
{
    // The extended form lifts the path length limit, for a share as well.
    std::u16string from = folder, to = folder;
    appendBackslash(from);
    appendBackslash(to);
    return MoveFileW(wide(extendedLengthPath((from + rename.from).c_str()).c_str()),
        wide(extendedLengthPath((to + rename.to).c_str()).c_str()));
}

std::size_t markedLanguageFiles(const std::u16string& folder)
{
    std::size_t marked = 0;
    for (const FolderEntryName& entry : listLanguageFolder(folder))
        if (!entry.isFolder && isActiveLanguageFileName(entry.name.c_str())) ++marked;
    return marked;
}

// Renames as the plan says, or not at all: a rename that fails takes back
// the ones made before it, so the folder is never left without its one mark.
void applyLanguageChoice(HWND window)
{
    const std::u16string folder = languageFolder();
    const LanguagePlan plan
        = planLanguageChoice(listLanguageFolder(folder), selectedComboText(languageCombo));
    switch (plan.outcome) {
    case LanguagePlanOutcome::collision: fatalError(unit::library, u"398");
    case LanguagePlanOutcome::choiceMissing: fatalError(unit::library, u"429");
    case LanguagePlanOutcome::ready: break;
    }
    for (std::size_t done = 0; done < plan.renames.size(); ++done) {
        if (moveFile(folder, plan.renames[done])) continue;
        for (const FileRename& undo : undoRenames(plan.renames, done)) moveFile(folder, undo);
        // The mark goes on last-but-not-least as "_" + name; every other rename takes one off.
        fatalError(unit::library, plan.renames[done].to.starts_with(u'_') ? u"429" : u"398");
    }
    // Someone else may have renamed files meanwhile; the message promises
    // the next start a language, so it is given only when that holds.
    if (markedLanguageFiles(folder) != 1) fatalError(unit::library, u"430");
    MessageBoxW(window, wide(getText(textid::languageChosen)), L"", MB_OK | MB_ICONINFORMATION);
    DestroyWindow(window);
}

} // namespace

LRESULT CALLBACK languageWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A fatal report is on screen: the program ends once it is read.
    if (message == WM_COMMAND && fatalReportBegun()) return 1;
    switch (message) {
    case WM_CREATE: createLanguageControls(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0; // wakes the window's own loop
    case WM_COMMAND:
        if (LOWORD(wParam) == contract::cmdAcceptLanguage) {
            applyLanguageChoice(window);
            return 0;
        }
        return 1; // the list's own notifications included; not for default processing
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void showLanguageWindow(HWND owner)
{
    if (showOpenWindow(contract::languageClass)) return;
    const bool disabledHere = disableOwner(owner);
    HICON largeIcon = LoadIconW(nullptr, IDI_INFORMATION);
    if (largeIcon == nullptr) fatalError(unit::library, u"468");
    HICON smallIcon = LoadIconW(nullptr, IDI_INFORMATION);
    if (smallIcon == nullptr) fatalError(unit::library, u"471");
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    if (arrow == nullptr) fatalError(unit::library, u"474");
    registerSecondaryClass(contract::languageClass, languageWndProc, largeIcon, arrow, smallIcon);
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) fatalError(unit::library, u"480");

    HWND window = CreateWindowExW(0, contract::languageClass, wide(getText(textid::languageTitle)),
        WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, windowWidth, windowHeight, owner, nullptr,
        module, nullptr);
    // Without its window there is no loop to wait in: the owner must not
    // stay disabled for ever.
    if (window == nullptr) fatalError(unit::library, u"482");
    POINT origin = screenCentreOrigin(windowWidth, windowHeight);
    MoveWindow(window, origin.x, origin.y, windowWidth, windowHeight, TRUE);
    ShowWindow(window, SW_SHOW);
    SetFocus(languageCombo);
    runWindowLoop(window);

    unregisterSecondaryClass(contract::languageClass, module);
    restoreOwner(owner, disabledHere);
}
