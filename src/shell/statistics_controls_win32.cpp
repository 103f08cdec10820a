#include "shell/statistics_controls_win32.h"

#include "common/failure.h"
#include "common/wide_text_win32.h"

HWND createControl(HWND parent, const wchar_t* className, const char16_t* caption, DWORD style, HFONT font,
    const char16_t* failLine)
{
    HWND control = CreateWindowExW(0, className, wide(caption), style, 20, 20, 20, 20, parent, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr) fatalError(unit::shell, failLine);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void moveControl(HWND control, const ControlRect& r, const char16_t* failLine)
{
    if (!MoveWindow(control, r.x, r.y, r.width, r.height, TRUE)) fatalError(unit::shell, failLine);
}

bool isChecked(HWND radio)
{
    return SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

GroupingColumn groupingOf(ViewTab tab)
{
    switch (tab) {
    case ViewTab::user: return GroupingColumn::user;
    case ViewTab::machine: return GroupingColumn::machine;
    case ViewTab::printer:
    case ViewTab::month:
    case ViewTab::jobs: break;
    }
    return GroupingColumn::printer;
}

std::size_t groupingIndex(ViewTab tab)
{
    return tab == ViewTab::user ? 1 : tab == ViewTab::machine ? 2 : 0;
}
