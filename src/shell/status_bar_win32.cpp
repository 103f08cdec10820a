// The status bar of the main window: one part for the totals, and a second
// holding a progress bar while something is being prepared.
#include "shell/status_bar_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "common/failure.h"
#include "common/wide_text_win32.h"

namespace {

// Like the view's other controls, told apart by their handles.
HWND statusBar, progressBar;
std::u16string totalsText;
bool progressShown = false;

constexpr int progressWidth = 160; // the progress part, at the right end

void setPart(int part, const std::u16string& text)
{
    SendMessageW(statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(wide(text.c_str())));
}

// One part for the text; with a progress, a second one at the right end.
void setParts()
{
    RECT client{};
    GetClientRect(statusBar, &client);
    int edges[2] = {-1, -1};
    int parts = 1;
    if (progressShown) {
        edges[0] = std::max<int>(0, client.right - progressWidth);
        parts = 2;
    }
    SendMessageW(statusBar, SB_SETPARTS, parts, reinterpret_cast<LPARAM>(edges));
    if (progressShown) {
        RECT part{};
        SendMessageW(statusBar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
        InflateRect(&part, -2, -2);
        MoveWindow(progressBar, part.left, part.top, part.right - part.left, part.bottom - part.top, TRUE);
    }
}

} // namespace

void createStatusBar(HWND mainWindow, HFONT font)
{
    statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
        mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (statusBar == nullptr) fatalError(unit::shell, u"601");
    SendMessageW(statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // Hidden until a progress is shown; a child of the bar, so it moves with it.
    progressBar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0, statusBar,
        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (progressBar == nullptr) fatalError(unit::shell, u"602");
    SendMessageW(progressBar, PBM_SETRANGE32, 0, 100);
}

int placeStatusBar()
{
    // The bar places itself along its parent's bottom edge on any WM_SIZE.
    SendMessageW(statusBar, WM_SIZE, 0, 0);
    setParts();
    RECT bar{};
    GetWindowRect(statusBar, &bar);
    return bar.bottom - bar.top;
}

void setStatusText(const std::u16string& text)
{
    totalsText = text;
    if (!progressShown) setPart(0, text);
}

void showStatusProgress(int percent, const std::u16string& text)
{
    if (!progressShown) {
        progressShown = true;
        setParts();
        ShowWindow(progressBar, SW_SHOWNA);
    }
    SendMessageW(progressBar, PBM_SETPOS, std::clamp(percent, 0, 100), 0);
    setPart(0, text);
}

void hideStatusProgress()
{
    if (!progressShown) return;
    progressShown = false;
    ShowWindow(progressBar, SW_HIDE);
    setParts();
    setPart(0, totalsText);
}
