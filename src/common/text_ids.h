// Every interface text the program shows, by role. The numbers are the keys
// of the language files ("lang/*.lang.txt"), so they never change.
#pragma once

#include <array>
#include <cstdint>

namespace textid {

using Id = std::uint32_t;

// Main menu and tray menu.
inline constexpr Id fileMenu = 1;
inline constexpr Id quitItem = 2;
inline constexpr Id aboutItem = 3;
inline constexpr Id helpMenu = 5;
inline constexpr Id optionsMenu = 27;
inline constexpr Id languageItem = 26;
inline constexpr Id savedDatesItem = 1000004; // also the saved-dates window's title

// About window: a heading, five labelled entries, three buttons and the caption.
inline constexpr Id aboutHeading = 6;
inline constexpr std::array<Id, 5> aboutLabels = {7, 9, 11, 13, 15};
inline constexpr std::array<Id, 5> aboutValues = {8, 10, 12, 14, 16};
inline constexpr Id aboutMailButton = 17;
inline constexpr Id aboutDonationButton = 18;
inline constexpr Id aboutCaptionVersion = 19; // "<19> 0.5.0.0 <20> Pagewarden"
inline constexpr Id aboutCaptionOf = 20;
inline constexpr Id aboutWebButton = 31;

// Fatal report.
inline constexpr Id fatalLineHeading = 21;
inline constexpr Id fatalUnitHeading = 22;
inline constexpr Id fatalCaption = 23;

// Language window.
inline constexpr Id languageTitle = 25;
inline constexpr Id acceptButton = 28; // also the saved-dates window's
inline constexpr Id languageChosen = 29;

// Start.
inline constexpr Id alreadyRunning = 30;
inline constexpr Id mainTitle = 1000003; // also the caption of warnings

// Saved-dates window.
inline constexpr Id closeButton = 33;
inline constexpr Id addDateTab = 35;
inline constexpr Id deleteDateTab = 36;
inline constexpr Id dateNameLabel = 1000005;
inline constexpr Id timeChoiceGroup = 1000006;
inline constexpr Id dateAndTimeChoice = 1000007;
inline constexpr Id dateOnlyChoice = 1000008;
inline constexpr Id emptyNameWarning = 1000009;
inline constexpr Id nameInUseWarning = 1000010;
inline constexpr Id savedNamesLabel = 1000011;
inline constexpr Id nothingToDeleteWarning = 1000012;

// Statistics view.
inline constexpr Id startChoiceGroup = 1000000;
inline constexpr Id periodChoice = 1000001;
inline constexpr Id dateChoice = 1000002;
// Everything, today, this month, this year: the first four entries of the
// period list, and names a saved date may not take.
inline constexpr std::array<Id, 4> fixedPeriods = {1100000, 1100001, 1100002, 1100003};
inline constexpr std::array<Id, 3> listColumns = {1200001, 1200002, 1200003};  // name, pages, jobs
inline constexpr std::array<Id, 3> groupingTabs = {1300000, 1300001, 1300002}; // printer, user, machine

// Copy and export of the totals: the list's right-click menu, the save
// dialog, the name it suggests (followed by "-YYYY-MM-DD.csv") and what a
// failed save says.
inline constexpr Id copyItem = 1400000;
inline constexpr Id saveCsvItem = 1400001;
inline constexpr Id csvFilesFilter = 1400002;
inline constexpr std::array<Id, 3> csvNameStems = {1400003, 1400004, 1400005}; // printer, user, machine
inline constexpr Id saveFailed = 1400006;

// The statistics view's fourth tab, its chart and the totals under the list.
// A count's words are two forms, "%1 page|%1 pages": the first for the
// counts the language names in singularCounts ("1", or "0 1"), the second
// for all others; the status bar puts the phrases side by side.
inline constexpr Id savedDatesMenuItem = 1410000; // the window keeps savedDatesItem as its title
inline constexpr Id monthTab = 1410001;
inline constexpr Id monthColumn = 1410002; // copy and CSV of the month chart
inline constexpr Id monthCsvNameStem = 1410003;
inline constexpr Id pagesPhrase = 1410004;
inline constexpr Id jobsPhrase = 1410005;
inline constexpr std::array<Id, 3> groupsPhrases = {1410006, 1410007, 1410008}; // printers, users, computers
inline constexpr Id monthsPhrase = 1410009;
inline constexpr Id singularCounts = 1410010;
inline constexpr Id noPagesInPeriod = 1410011;
// Jobs whose page count is no number of pages: a phrase after the totals and
// the months' tooltips, and a column of the copy and CSV.
inline constexpr Id unknownPagesPhrase = 1410012;
inline constexpr Id unknownPagesColumn = 1410013;
inline constexpr std::array<Id, 12> monthNames = {1410020, 1410021, 1410022, 1410023, 1410024, 1410025,
    1410026, 1410027, 1410028, 1410029, 1410030, 1410031};
inline constexpr std::array<Id, 12> monthAbbreviations = {1410040, 1410041, 1410042, 1410043, 1410044,
    1410045, 1410046, 1410047, 1410048, 1410049, 1410050, 1410051};

// Another program holding the database, and the file's preparation: a pending
// file of jobs that could not be read, the waiting, the two steps of the
// preparation, and the saved date that could not be saved or deleted.
inline constexpr Id pendingFileSetAside = 1420000;
inline constexpr Id waitingForDatabase = 1420001;
inline constexpr Id buildingIndexes = 1420002;
inline constexpr Id preparingTotals = 1420003;
inline constexpr Id dateNotSavedBusy = 1420004;
inline constexpr Id dateNotDeletedBusy = 1420005;

// The service: its description in the service manager; who counts, in the
// tray icon's tooltip and the about window; what installing and removing it
// say, naming the step that failed and the cause.
inline constexpr Id serviceDescription = 1430000;
inline constexpr Id countedByLabel = 1430001;
inline constexpr Id countedByThisProgram = 1430002;
inline constexpr Id countedByService = 1430003;
inline constexpr Id countedByOtherCopy = 1430004;
inline constexpr Id serviceInstalled = 1430010;
inline constexpr Id serviceUninstalled = 1430011;
inline constexpr Id serviceWasNotInstalled = 1430012;
inline constexpr Id serviceInstallFailed = 1430013;
inline constexpr Id serviceUninstallFailed = 1430014;
inline constexpr Id stepRegisterService = 1430020;
inline constexpr Id stepEventSource = 1430021;
inline constexpr Id stepGrantFolder = 1430022;
inline constexpr Id stepStartService = 1430023;
inline constexpr Id stepStopService = 1430024;
inline constexpr Id stepDeleteService = 1430025;
inline constexpr Id stepRemoveEventSource = 1430026;
inline constexpr Id stepRevokeFolder = 1430027;
inline constexpr Id causeAccessDenied = 1430030;
inline constexpr Id causeMarkedForDelete = 1430031;
inline constexpr Id causeStoppedAtStart = 1430032;
inline constexpr Id causeErrorCode = 1430033; // followed by the number
// Where the service keeps its data, and the program folder it refuses.
inline constexpr Id stepCheckProgramFiles = 1430050;
inline constexpr Id causeChangeableBy = 1430051; // after a path, before an account
inline constexpr Id causeMoveProgram = 1430052;
inline constexpr Id stepMoveDatabase = 1430053;
inline constexpr Id causeDatabaseInBoth = 1430054;
inline constexpr Id causeDatabaseUnreadable = 1430055;
inline constexpr Id causeDatabaseCopyFailed = 1430056;
inline constexpr Id dataFolderIs = 1430057;      // followed by the folder
inline constexpr Id databaseMovedJobs = 1430058; // followed by the number of jobs

// The central database: the view's choice of whose counts it shows, what
// the list says when the server cannot answer, and the shipping state that
// the tooltip and the about window show.
inline constexpr Id thisComputer = 1440000;
inline constexpr Id allComputers = 1440001;
inline constexpr Id centralUnreachable = 1440002; // followed by the reason in words
inline constexpr Id centralAsking = 1440003;
inline constexpr Id shippingHeading = 1440004;
inline constexpr Id shippingWaiting = 1440005; // followed by a number
inline constexpr Id shippingLast = 1440006;    // followed by a date and time, or shippingNever
inline constexpr Id shippingError = 1440007;   // followed by the reason in words
inline constexpr Id shippingNever = 1440008;
inline constexpr Id odbcMissing = 1440009;
inline constexpr Id centralNoReason = 1440010;
inline constexpr Id monthsThisComputerOnly = 1440011;

// What "/report" says on its error output when it writes no figures: a
// word of the command line it did not understand (%1), an unknown saved
// name (%1), a missing database (%1 its path), a file another program kept,
// no central database set, a file it could not write (%1), and the months
// asked of every computer.
inline constexpr Id reportNotUnderstood = 1470000;
inline constexpr Id reportUnknownSaved = 1470001;
inline constexpr Id reportNoDatabase = 1470002;
inline constexpr Id reportDatabaseBusy = 1470003;
inline constexpr Id reportNoCentral = 1470004;
inline constexpr Id reportNotWritten = 1470005;
inline constexpr Id reportMonthsThisComputer = 1470006;
// What the jobs' details add: the statistics' columns and their phrases in
// the status bar, the Jobs tab with its columns, the words for colour and
// sides, the filter a double-click sets, the search and the log's CSV name.
inline constexpr std::array<Id, 3> detailColumns = {1450000, 1450001, 1450002}; // colour pages, sheets, cost
inline constexpr Id colourPagesPhrase = 1450003;
inline constexpr Id sheetsPhrase = 1450004;
inline constexpr Id costPhrase = 1450005;
inline constexpr Id jobsTab = 1450010;
// time, user, computer, printer, document, pages, colour, sides, paper, sheets, cost
inline constexpr std::array<Id, 11> jobColumns
    = {1450011, 1450012, 1450013, 1450014, 1450015, 1450016, 1450017, 1450018, 1450019, 1450020, 1450021};
inline constexpr std::array<Id, 2> colourWords = {1450022, 1450023};         // colour, mono
inline constexpr std::array<Id, 3> sidesWords = {1450024, 1450025, 1450026}; // one-sided, long, short edge
inline constexpr Id onlyFilter = 1450027;
inline constexpr Id showAllButton = 1450028;
inline constexpr Id searchLabel = 1450029;
inline constexpr Id searchProgress = 1450030;
inline constexpr Id jobsCsvNameStem = 1450031;
inline constexpr Id copyTooLong = 1450032;
inline constexpr Id centralLogNotGranted = 1450033;

// Every text the program shows: what a complete language file holds.
inline constexpr std::array everyId = {fileMenu, quitItem, aboutItem, helpMenu, optionsMenu, languageItem,
    savedDatesItem, aboutHeading, aboutLabels[0], aboutValues[0], aboutLabels[1], aboutValues[1],
    aboutLabels[2], aboutValues[2], aboutLabels[3], aboutValues[3], aboutLabels[4], aboutValues[4],
    aboutMailButton, aboutDonationButton, aboutCaptionVersion, aboutCaptionOf, aboutWebButton,
    fatalLineHeading, fatalUnitHeading, fatalCaption, languageTitle, acceptButton, languageChosen,
    alreadyRunning, mainTitle, closeButton, addDateTab, deleteDateTab, dateNameLabel, timeChoiceGroup,
    dateAndTimeChoice, dateOnlyChoice, emptyNameWarning, nameInUseWarning, savedNamesLabel,
    nothingToDeleteWarning, startChoiceGroup, periodChoice, dateChoice, fixedPeriods[0], fixedPeriods[1],
    fixedPeriods[2], fixedPeriods[3], listColumns[0], listColumns[1], listColumns[2], groupingTabs[0],
    groupingTabs[1], groupingTabs[2], copyItem, saveCsvItem, csvFilesFilter, csvNameStems[0], csvNameStems[1],
    csvNameStems[2], saveFailed, pendingFileSetAside, waitingForDatabase, buildingIndexes, preparingTotals,
    dateNotSavedBusy, dateNotDeletedBusy, serviceDescription, countedByLabel, countedByThisProgram,
    countedByService, countedByOtherCopy, serviceInstalled, serviceUninstalled, serviceWasNotInstalled,
    serviceInstallFailed, serviceUninstallFailed, stepRegisterService, stepEventSource, stepGrantFolder,
    stepStartService, stepStopService, stepDeleteService, stepRemoveEventSource, stepRevokeFolder,
    causeAccessDenied, causeMarkedForDelete, causeStoppedAtStart, causeErrorCode, stepCheckProgramFiles,
    causeChangeableBy, causeMoveProgram, stepMoveDatabase, causeDatabaseInBoth, causeDatabaseUnreadable,
    causeDatabaseCopyFailed, dataFolderIs, databaseMovedJobs, thisComputer, allComputers, centralUnreachable,
    centralAsking, shippingHeading, shippingWaiting, shippingLast, shippingError, shippingNever, odbcMissing,
    centralNoReason, monthsThisComputerOnly, savedDatesMenuItem, monthTab, monthColumn, monthCsvNameStem,
    pagesPhrase, jobsPhrase, groupsPhrases[0], groupsPhrases[1], groupsPhrases[2], monthsPhrase,
    singularCounts, noPagesInPeriod, unknownPagesPhrase, unknownPagesColumn, monthNames[0], monthNames[1],
    monthNames[2], monthNames[3], monthNames[4], monthNames[5], monthNames[6], monthNames[7], monthNames[8],
    monthNames[9], monthNames[10], monthNames[11], monthAbbreviations[0], monthAbbreviations[1],
    monthAbbreviations[2], monthAbbreviations[3], monthAbbreviations[4], monthAbbreviations[5],
    monthAbbreviations[6], monthAbbreviations[7], monthAbbreviations[8], monthAbbreviations[9],
    monthAbbreviations[10], monthAbbreviations[11], reportNotUnderstood, reportUnknownSaved, reportNoDatabase,
    reportDatabaseBusy, reportNoCentral, reportNotWritten, reportMonthsThisComputer, detailColumns[0],
    detailColumns[1], detailColumns[2], colourPagesPhrase, sheetsPhrase, costPhrase, jobsTab, jobColumns[0],
    jobColumns[1], jobColumns[2], jobColumns[3], jobColumns[4], jobColumns[5], jobColumns[6], jobColumns[7],
    jobColumns[8], jobColumns[9], jobColumns[10], colourWords[0], colourWords[1], sidesWords[0],
    sidesWords[1], sidesWords[2], onlyFilter, showAllButton, searchLabel, searchProgress, jobsCsvNameStem,
    copyTooLong, centralLogNotGranted};

} // namespace textid
