#include "about/about_window_win32.h"

#include <shellapi.h>

#include "about/about_text.h"
#include "central/central_setting_win32.h"
#include "central/shipping_state_text.h"
#include "central/shipping_state_win32.h"
#include "common/failure.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "common/window_helpers_win32.h"

namespace {

constexpr int windowWidth = 330;
// Room for the body's six entries above the three buttons.
constexpr int windowHeight = 500;
// Who counts, as it stood when the window was asked for.
std::u16string countedByText;
// Room for the shipping state of a central database, when one is set.
constexpr int shippingHeight = 110;
std::vector<std::u16string> shippingLines;

HWND createControl(HWND window, HMODULE module, const wchar_t* className, const std::u16string& text, int x,
    int y, int width, int height, WORD id, const char16_t* failLine)
{
    HWND control = CreateWindowExW(0, className, wide(text.c_str()), WS_CHILD | WS_VISIBLE, x, y, width,
        height, window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), module, nullptr);
    if (control == nullptr) fatalError(unit::about, failLine);
    setDefaultFont(control);
    return control;
}

void createAboutControls(HWND window)
{
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) fatalError(unit::about, u"155");
    RECT client;
    if (!GetClientRect(window, &client)) fatalError(unit::about, u"157");
    const int w = client.right, h = client.bottom;
    // The body's last 25 pixels lie under the first button, created after it.
    createControl(window, module, L"static",
        aboutBody(
            countedByText, shippingLines.empty() ? u"" : getText(textid::shippingHeading), shippingLines),
        25, 25, w - 50, h - 150, 0, u"166");
    createControl(window, module, L"button", getText(textid::aboutWebButton), 25, h - 150, w - 50, 25,
        contract::cmdAboutWebPage, u"178");
    createControl(window, module, L"button", getText(textid::aboutMailButton), 25, h - 100, w - 50, 25,
        contract::cmdAboutMail, u"189");
    createControl(window, module, L"button", getText(textid::aboutDonationButton), 25, h - 50, w - 50, 25,
        contract::cmdAboutDonation, u"200");
}

// A link the shell cannot open (no program for "mailto:", say) ends in the
// fatal report that names the link's own line.
void openAboutLink(const char16_t* target, const char16_t* failLine)
{
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide(target), nullptr, L".", SW_SHOWMAXIMIZED));
    if (result < 32) fatalError(unit::about, failLine);
}

LRESULT onCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case contract::cmdAboutWebPage: openAboutLink(aboutLink::webPage, u"24"); return 0;
    case contract::cmdAboutDonation: openAboutLink(aboutLink::donation, u"33"); return 0;
    case contract::cmdAboutMail: openAboutLink(aboutLink::mail, u"42"); return 0;
    }
    return 1;
}

} // namespace

LRESULT CALLBACK aboutWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A fatal report is on screen: the program ends once it is read.
    if (message == WM_COMMAND && fatalReportBegun()) return 1;
    switch (message) {
    case WM_CREATE: createAboutControls(window); return 0;
    case WM_COMMAND: return onCommand(wParam);
    case WM_DESTROY: PostQuitMessage(0); return 0; // wakes the window's own loop
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void showAboutWindow(
    HWND owner, const wchar_t* version, const wchar_t* productName, const std::u16string& countedBy)
{
    if (showOpenWindow(contract::aboutClass)) return;
    countedByText = countedBy;
    const std::u16string caption = aboutCaption(utf16(version), utf16(productName));
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) fatalError(unit::about, u"93");
    HICON largeIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32514)); // the question mark
    if (largeIcon == nullptr) fatalError(unit::about, u"96");
    HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    if (arrow == nullptr) fatalError(unit::about, u"99");
    HICON smallIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32514));
    if (smallIcon == nullptr) fatalError(unit::about, u"102");
    registerSecondaryClass(contract::aboutClass, aboutWndProc, largeIcon, arrow, smallIcon);

    shippingLines.clear();
    if (readCentralSetting().stateShown()) {
        if (std::optional<ShippingState> state = readShippingStateBriefly())
            shippingLines = shippingStateLines(*state);
    }
    const int height = windowHeight + (shippingLines.empty() ? 0 : shippingHeight);
    HWND window = CreateWindowExW(0, contract::aboutClass, wide(caption.c_str()), WS_CAPTION | WS_SYSMENU,
        CW_USEDEFAULT, CW_USEDEFAULT, windowWidth, height, owner, nullptr, module, nullptr);
    if (window == nullptr) fatalError(unit::about, u"113");
    POINT origin = screenCentreOrigin(windowWidth, height);
    if (!MoveWindow(window, origin.x, origin.y, windowWidth, height, TRUE)) fatalError(unit::about, u"118");
    ShowWindow(window, SW_SHOW);
    runWindowLoop(window);

    unregisterSecondaryClass(contract::aboutClass, module);
    // The owner was never disabled: only brought back to the front.
    restoreOwner(owner, false);
}
