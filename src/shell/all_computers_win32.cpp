// The statistics view's choice between this computer and every computer,
// and the questions to the central database it sends.
#include "shell/all_computers_win32.h"

#include <memory>
#include <string>
#include <vector>

#include "central/central_link_win32.h"
#include "central/central_setting_win32.h"
#include "common/failure.h"
#include "common/language_texts.h"
#include "common/scoped_handle_win32.h"
#include "shell/statistics_controls_win32.h"
#include "shell/statistics_list_win32.h"
#include "shell/status_bar_win32.h"

namespace {

HWND thisComputerRadio = nullptr, allComputersRadio = nullptr;
CentralSetting centralSetting;
bool allComputersShown = false;
unsigned centralQuestions = 0; // the latest question; older answers are dropped
constexpr UINT centralAnswerMessage = WM_APP + 40;

struct CentralQuestion {
    CentralSetting setting;
    DateTime since;
    GroupingColumn column;
    unsigned number;
    HWND window;
};
struct CentralAnswer {
    unsigned number = 0;
    bool answered = false;
    std::vector<StatisticsRow> rows;
    std::u16string error;
};

// The rows of every computer, shown like this computer's, or lines in the
// list that say why there are none.
void showCentralAnswer(const CentralAnswer& answer)
{
    if (answer.answered) {
        showFigures(answer.rows);
        return;
    }
    clearFigures();
    setStatusText(u"");
    // The reason reads down the first column, a few words a row.
    setListLine(0, getText(textid::centralUnreachable), u"451");
    int index = 1;
    for (const std::u16string& line : wrappedLines(answer.error, 40)) setListLine(index++, line, u"461");
}

DWORD WINAPI askCentralDatabase(void* parameter)
{
    std::unique_ptr<CentralQuestion> question(static_cast<CentralQuestion*>(parameter));
    auto answer = std::make_unique<CentralAnswer>();
    answer->number = question->number;
    answer->answered = queryCentralStatistics(
        question->setting, question->since, question->column, answer->rows, answer->error);
    // A window gone meanwhile leaves the answer to this thread.
    if (PostMessageW(question->window, centralAnswerMessage, 0, reinterpret_cast<LPARAM>(answer.get())))
        answer.release();
    return 0;
}

} // namespace

void createComputerChoice(HWND mainWindow, HFONT font)
{
    centralSetting = readCentralSetting();
    if (!centralSetting.viewable()) return;
    thisComputerRadio = createControl(mainWindow, L"Button", getText(textid::thisComputer),
        WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, font, u"457");
    allComputersRadio = createControl(mainWindow, L"Button", getText(textid::allComputers),
        WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, font, u"458");
    SendMessageW(thisComputerRadio, BM_SETCHECK, BST_CHECKED, 0);
}

bool computerChoiceShown()
{
    return thisComputerRadio != nullptr;
}

void placeComputerChoice(const StatisticsLayout& layout)
{
    if (thisComputerRadio == nullptr) return;
    moveControl(thisComputerRadio, layout.thisComputer, u"459");
    moveControl(allComputersRadio, layout.allComputers, u"460");
}

bool takeComputerChoice(HWND sender)
{
    if (sender == nullptr || (sender != thisComputerRadio && sender != allComputersRadio)) return false;
    allComputersShown = isChecked(allComputersRadio);
    return true;
}

bool showingAllComputers()
{
    return allComputersShown;
}

void askForAllComputers(HWND window, const DateTime& since, ViewTab tab)
{
    clearFigures();
    hideStatusProgress();
    setStatusText(u"");
    if (tab == ViewTab::month) {
        setListLine(0, getText(textid::monthsThisComputerOnly), u"462");
        ++centralQuestions; // an answer still on its way is no longer wanted
        return;
    }
    setListLine(0, getText(textid::centralAsking), u"455");
    auto question = std::make_unique<CentralQuestion>(
        CentralQuestion{centralSetting, since, groupingOf(tab), ++centralQuestions, window});
    ScopedHandle thread(CreateThread(nullptr, 0, askCentralDatabase, question.get(), 0, nullptr));
    if (!thread) fatalError(unit::shell, u"456");
    question.release(); // the thread owns it now
}

bool handleCentralAnswer(UINT message, LPARAM lParam)
{
    if (message != centralAnswerMessage) return false;
    std::unique_ptr<CentralAnswer> answer(reinterpret_cast<CentralAnswer*>(lParam));
    // An answer to an older question, or one that comes after a switch back
    // to this computer, is not what the list should show.
    if (answer->number == centralQuestions && allComputersShown) showCentralAnswer(*answer);
    return true;
}
