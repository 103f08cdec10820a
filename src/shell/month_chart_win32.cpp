// The month chart, drawn with GDI: grid lines with their values, a bar per
// month, the month under each bar, and a tooltip per month.
#include "shell/month_chart_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "common/failure.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "shell/locale_format_win32.h"
#include "shell/statistics_figures.h"

namespace {

HWND chart, tooltip;
HFONT labelFont, uprightFont;
ChartCopy copyShown;
std::vector<ChartMonth> shown;
ChartLayout layout;

std::u16string abbreviation(const ChartMonth& month)
{
    return getText(textid::monthAbbreviations[static_cast<std::size_t>(month.month - 1)]);
}

// "March 2026: 1,234 pages in 120 jobs".
std::u16string tipText(const ChartMonth& month)
{
    const std::u16string counts = getText(textid::singularCounts);
    std::u16string tip = getText(textid::monthNames[static_cast<std::size_t>(month.month - 1)])
        + std::u16string(u" ") + decimalText(month.year) + u": "
        + countPhrase(getText(textid::pagesPhrase), counts, month.pages, groupedNumber(month.pages)) + u" "
        + countPhrase(getText(textid::jobsPhrase), counts, month.jobs, groupedNumber(month.jobs));
    if (month.unknownPages > 0) {
        const std::u16string unknown = decimalText(month.unknownPages);
        tip += u' ';
        tip += countPhrase(getText(textid::unknownPagesPhrase), counts, unknown, groupedNumber(unknown));
    }
    return tip;
}

int textWidth(HDC dc, const std::u16string& text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, wide(text.c_str()), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Everything the layout needs measured, with the label font.
ChartMeasures measure(HDC dc)
{
    HGDIOBJ old = SelectObject(dc, labelFont);
    ChartMeasures measures;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    measures.lineHeight = metrics.tmHeight;
    for (const ChartMonth& month : shown) {
        measures.monthWidth = std::max(measures.monthWidth, textWidth(dc, abbreviation(month)));
        measures.monthWidth = std::max(measures.monthWidth, textWidth(dc, decimalText(month.year)));
        measures.monthYearWidth = std::max(
            measures.monthYearWidth, textWidth(dc, abbreviation(month) + u" " + decimalText(month.year)));
    }
    double highest = 0;
    for (const ChartMonth& month : shown) highest = std::max(highest, month.value);
    // No grid line stands higher than one step that spans the highest bar alone.
    measures.valueWidth
        = textWidth(dc, groupedNumber(decimalText(static_cast<std::int64_t>(gridStep(highest, 1)))));
    SelectObject(dc, old);
    return measures;
}

void relayout()
{
    RECT client{};
    GetClientRect(chart, &client);
    HDC dc = GetDC(chart);
    const ChartMeasures measures = measure(dc);
    ReleaseDC(chart, dc);
    layout = layoutChart(client.right, client.bottom, shown, measures);
}

// One tool per month over its whole column, so the tip answers above a
// short bar too. The record's older size is the one every version of the
// control accepts.
void resetTools()
{
    while (SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0) > 0) {
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        if (!SendMessageW(tooltip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) break;
        SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        std::u16string text = tipText(shown[i]);
        const ChartBox& column = layout.columns[i];
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = chart;
        tool.uId = i;
        tool.rect = {column.left, column.top, column.right, column.bottom};
        tool.lpszText = wide(text.data());
        if (!SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
            fatalError(unit::shell, u"611");
    }
}

void moveTools()
{
    for (std::size_t i = 0; i < shown.size() && i < layout.columns.size(); ++i) {
        const ChartBox& column = layout.columns[i];
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = chart;
        tool.uId = i;
        tool.rect = {column.left, column.top, column.right, column.bottom};
        SendMessageW(tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void drawText(HDC dc, const std::u16string& text, RECT box, UINT format)
{
    DrawTextW(
        dc, wide(text.c_str()), static_cast<int>(text.size()), &box, format | DT_NOPREFIX | DT_SINGLELINE);
}

void paintGrid(HDC dc)
{
    HPEN gridPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DLIGHT));
    HPEN axisPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldPen = SelectObject(dc, gridPen);
    for (const ChartGrid& line : layout.grid) {
        SelectObject(dc, line.value == 0 ? axisPen : gridPen);
        MoveToEx(dc, layout.plot.left - 3, line.y, nullptr);
        LineTo(dc, layout.plot.right, line.y);
        drawText(dc, groupedNumber(decimalText(static_cast<std::int64_t>(line.value))),
            {0, line.y - 10, layout.plot.left - 6, line.y + 10}, DT_RIGHT | DT_VCENTER);
    }
    SelectObject(dc, oldPen);
    DeleteObject(gridPen);
    DeleteObject(axisPen);
}

void paintMonths(HDC dc)
{
    HBRUSH barBrush = GetSysColorBrush(COLOR_HIGHLIGHT);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const ChartBox& bar = layout.bars[i];
        if (bar.bottom > bar.top) {
            RECT r{bar.left, bar.top, bar.right, bar.bottom};
            FillRect(dc, &r, barBrush);
        }
        const ChartBox& label = layout.labels[i];
        const ChartMonth& month = shown[i];
        if (layout.upright) {
            // Turned a quarter to the left and ending at the axis: it reads
            // from the bottom up, its end under the bar.
            HGDIOBJ old = SelectObject(dc, uprightFont);
            const std::u16string text = abbreviation(month) + u" " + decimalText(month.year);
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            SetTextAlign(dc, TA_RIGHT | TA_TOP);
            TextOutW(dc, (label.left + label.right - metrics.tmHeight) / 2, label.top, wide(text.c_str()),
                static_cast<int>(text.size()));
            SetTextAlign(dc, TA_LEFT | TA_TOP);
            SelectObject(dc, old);
        } else {
            // The month, and under it the year at each January and at the first month.
            const int line = (label.bottom - label.top) / 2;
            drawText(
                dc, abbreviation(month), {label.left, label.top, label.right, label.top + line}, DT_CENTER);
            if (month.month == 1 || i == 0)
                drawText(dc, decimalText(month.year),
                    {label.left, label.top + line, label.right, label.bottom}, DT_CENTER);
        }
    }
}

LRESULT onPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, labelFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (shown.empty()) {
        drawText(dc, getText(textid::noPagesInPeriod), client, DT_CENTER | DT_VCENTER);
    } else {
        paintGrid(dc);
        paintMonths(dc);
    }
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
    return 0;
}

bool controlHeld()
{
    return GetKeyState(VK_CONTROL) < 0;
}

LRESULT CALLBACK chartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: return onPaint(window);
    case WM_ERASEBKGND: return 1; // the paint fills the whole area
    case WM_SIZE:
        relayout();
        moveTools();
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // A click gives the chart the focus, so Ctrl+C copies its months.
        SetFocus(window);
        return 0;
    case WM_KEYDOWN:
        if (wParam == 'C' && controlHeld()) {
            if (copyShown) copyShown(GetParent(window));
            return 0;
        }
        break;
    case WM_GETDLGCODE: return DLGC_WANTCHARS;
    }
    // WM_CONTEXTMENU goes on to the main window, which offers copy and CSV.
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HWND createMonthChart(HWND mainWindow, HFONT font, ChartCopy onCopy)
{
    copyShown = onCopy;
    WNDCLASSEXW record{};
    record.cbSize = sizeof record;
    record.lpfnWndProc = chartProc;
    record.hInstance = GetModuleHandleW(nullptr);
    record.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    record.lpszClassName = contract::monthChartClass;
    if (RegisterClassExW(&record) == 0) fatalError(unit::shell, u"612");
    chart = CreateWindowExW(0, contract::monthChartClass, L"", WS_CHILD | WS_TABSTOP, 20, 200, 20, 20,
        mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (chart == nullptr) fatalError(unit::shell, u"613");
    tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
        chart, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tooltip == nullptr) fatalError(unit::shell, u"614");
    labelFont = font;
    // Turned labels need an outline font; the interface font may be a bitmap one.
    LOGFONTW upright{};
    GetObjectW(font, sizeof upright, &upright);
    upright.lfEscapement = upright.lfOrientation = 900;
    upright.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    lstrcpynW(upright.lfFaceName, L"Tahoma", LF_FACESIZE);
    uprightFont = CreateFontIndirectW(&upright);
    if (uprightFont == nullptr) fatalError(unit::shell, u"615");
    return chart;
}

void showChartMonths(const std::vector<ChartMonth>& months)
{
    shown = months;
    relayout();
    resetTools();
    InvalidateRect(chart, nullptr, FALSE);
}
