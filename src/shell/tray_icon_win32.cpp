#include "shell/tray_icon_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "central/central_setting_win32.h"
#include "central/shipping_state_text.h"
#include "central/shipping_state_win32.h"
#include "common/failure.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"

namespace {

// The record as far as and including a 128-character tip, nothing after it.
// That is 280 bytes in the 32-bit program and 296 in the 64-bit one; the
// shell reads a record of a size it does not list as the original one, which
// has every field we fill.
constexpr DWORD iconRecordSize = offsetof(NOTIFYICONDATAW, dwState);
static_assert(sizeof(void*) != 4 || iconRecordSize == 280);

// absent: the shell has no icon of ours and each tick offers it; added: the
// shell took it; removed: deleted on the way out, never offered again.
enum class IconState { absent, added, removed };
IconState iconState = IconState::absent;
UINT taskbarCreatedMsg = 0;
// A shared icon of the program's resources: loaded once, never destroyed.
HICON trayIcon = nullptr;
std::u16string trayTip;
// With a central database set, the shipping state follows the tip's first
// line, read from pgwarden.db (whichever process ships) when the pointer
// rests on the icon and now and then.
bool tipShowsShipping = false;
std::vector<std::u16string> shippingLines;
ULONGLONG shippingReadAt = 0;
constexpr ULONGLONG shippingFreshFor = 2000;

bool notifyShell(HWND window, DWORD action)
{
    NOTIFYICONDATAW record{};
    record.cbSize = iconRecordSize;
    record.hWnd = window;
    record.uID = tray::iconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = contract::trayCallbackMsg;
    record.hIcon = trayIcon;
    // Cut to the record's room, the terminating zero included.
    std::u16string tip = shippingLines.empty()
        ? cutText(trayTip, std::size(record.szTip) - 1)
        : shippingTooltip(trayTip, shippingLines, std::size(record.szTip));
    std::copy(tip.begin(), tip.end(), record.szTip);
    return Shell_NotifyIconW(action, &record) != FALSE;
}

void refreshShippingState(HWND window)
{
    if (!tipShowsShipping || GetTickCount64() - shippingReadAt < shippingFreshFor) return;
    shippingReadAt = GetTickCount64();
    std::optional<ShippingState> state = readShippingStateBriefly();
    if (!state) return; // another program holds the file: the next look reads it
    std::vector<std::u16string> lines = shippingStateLines(*state);
    if (lines == shippingLines) return;
    shippingLines = std::move(lines);
    if (iconState == IconState::added) notifyShell(window, NIM_MODIFY);
}

} // namespace

void startTrayIcon(HWND window)
{
    taskbarCreatedMsg = RegisterWindowMessageW(L"TaskbarCreated");
    trayIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(tray::iconResource));
    if (trayIcon == nullptr) fatalError(unit::shell, u"301");
    iconState = IconState::absent;
    tipShowsShipping = readCentralSetting().stateShown();
    refreshShippingState(window);
    SetTimer(window, tray::timerId, tray::timerPeriod, nullptr);
}

UINT taskbarCreatedMessage()
{
    return taskbarCreatedMsg;
}

void onTrayTimer(HWND window)
{
    // Until the shell is ready (early in a logon, say) the add fails and the
    // next tick tries again.
    if (iconState == IconState::absent && notifyShell(window, NIM_ADD)) iconState = IconState::added;
    // Read again every twenty ticks (half a minute); a tip that is shown
    // while the pointer rests is read afresh when it moves.
    static unsigned ticks = 0;
    if (++ticks % 20 == 0) refreshShippingState(window);
}

void onTaskbarCreated()
{
    // The new taskbar has no icon of ours; the next tick offers it.
    if (iconState == IconState::added) iconState = IconState::absent;
}

void setTrayTip(HWND window, const std::u16string& tip)
{
    trayTip = tip;
    // A failed change is offered again with the icon after a new taskbar.
    if (iconState == IconState::added) notifyShell(window, NIM_MODIFY);
}

void removeTrayIcon(HWND window)
{
    notifyShell(window, NIM_DELETE);
    iconState = IconState::removed;
}

UINT_PTR showTrayMenu(std::int16_t x, std::int16_t y, HWND window)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) fatalError(unit::shell, u"311");
    if (!AppendMenuW(menu, MF_STRING, tray::cmdQuit, wide(getText(textid::quitItem))))
        fatalError(unit::shell, u"312");
    // Without the foreground the menu would not close when the user clicks
    // elsewhere.
    SetForegroundWindow(window);
    auto command = static_cast<UINT_PTR>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN, x, y, 0, window, nullptr));
    // Switches the task so that the next click on the icon opens the menu
    // again instead of being taken as the end of this one.
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return command;
}

TrayRequest trayMouseRequest(HWND window, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN: return TrayRequest::showWindow;
    case WM_MOUSEMOVE: refreshShippingState(window); return TrayRequest::none;
    case WM_RBUTTONDOWN: {
        POINT cursor;
        if (!GetCursorPos(&cursor)) fatalError(unit::shell, u"321");
        UINT_PTR command
            = showTrayMenu(static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y), window);
        return command == tray::cmdQuit ? TrayRequest::quit : TrayRequest::none;
    }
    }
    // Moves, releases, double clicks and the middle button do nothing.
    return TrayRequest::none;
}
