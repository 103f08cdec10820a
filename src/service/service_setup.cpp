#include "service/service_setup.h"

#include "common/language_texts.h"
#include "common/strings.h"
#include "common/window_contract.h"

namespace {

std::u16string folderOf(const std::u16string& path)
{
    std::size_t backslash = path.find_last_of(u'\\');
    return backslash == std::u16string::npos ? std::u16string() : path.substr(0, backslash);
}

std::u16string causeOf(std::uint32_t code)
{
    // The two causes a user can act on get words of their own.
    if (code == setupError::accessDenied) return getText(textid::causeAccessDenied);
    if (code == setupError::serviceMarkedForDelete) return getText(textid::causeMarkedForDelete);
    std::u16string words = setupErrorWords(code);
    while (!words.empty() && (words.back() == u'\r' || words.back() == u'\n' || words.back() == u' '))
        words.pop_back();
    if (!words.empty()) return words;
    std::u16string number;
    for (std::uint32_t rest = code; number.empty() || rest != 0; rest /= 10)
        number.insert(number.begin(), static_cast<char16_t>(u'0' + rest % 10));
    return std::u16string(getText(textid::causeErrorCode)) + u' ' + number;
}

SetupOutcome failed(textid::Id headline, textid::Id step, const std::u16string& cause)
{
    return {1, std::u16string(getText(headline)) + u"\r\n\r\n" + getText(step) + u": " + cause};
}

} // namespace

namespace {

// Nothing a user could change may run as the service: its own program,
// the libraries beside it and the language files it reads.
SetupOutcome checkProgramFiles(const std::u16string& programFolder)
{
    std::vector<ObjectSecurity> objects;
    std::u16string installer;
    if (std::uint32_t code = setupReadProgramFiles(programFolder, objects, installer); code != 0)
        return failed(textid::serviceInstallFailed, textid::stepCheckProgramFiles, causeOf(code));
    ChangeableObject found = firstChangeableByOthers(objects, installer);
    if (found.path.empty()) return {0, {}};
    return failed(textid::serviceInstallFailed, textid::stepCheckProgramFiles,
        found.path + u" " + getText(textid::causeChangeableBy) + u" " + found.who + u".\r\n\r\n"
            + getText(textid::causeMoveProgram));
}

// The words of a move that did not happen; empty when it did or had nothing to move.
std::u16string moveFailure(DatabaseMove outcome)
{
    switch (outcome) {
    case DatabaseMove::alreadyThere: return getText(textid::causeDatabaseInBoth);
    case DatabaseMove::unreadable: return getText(textid::causeDatabaseUnreadable);
    case DatabaseMove::copyFailed: return getText(textid::causeDatabaseCopyFailed);
    case DatabaseMove::nothingToMove:
    case DatabaseMove::moved: break;
    }
    return {};
}

std::u16string installedWords(const std::u16string& dataFolder, const DatabaseMoveResult& move)
{
    std::u16string words = std::u16string(getText(textid::serviceInstalled)) + u"\r\n\r\n"
        + getText(textid::dataFolderIs) + u" " + dataFolder;
    if (move.outcome == DatabaseMove::moved)
        words += u"\r\n" + std::u16string(getText(textid::databaseMovedJobs)) + u" " + decimalText(move.jobs);
    return words;
}

} // namespace

std::u16string dataFolderAccessList(const std::u16string& serviceSid)
{
    // Modify: read, write, run, and delete, without changing the list.
    const std::u16string modify = u"0x1301bf";
    return u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;" + modify + u";;;" + serviceSid + u")(A;OICI;"
        + modify + u";;;IU)";
}

SetupOutcome installService(const std::u16string& programPath)
{
    const std::u16string programFolder = folderOf(programPath);
    // What an older version gave LocalService on the program's folder goes
    // first: it alone would make the folder one that others can change.
    std::uint32_t code = setupRevokeFolder(programFolder);
    if (code != 0) return failed(textid::serviceInstallFailed, textid::stepRevokeFolder, causeOf(code));
    if (SetupOutcome refused = checkProgramFiles(programFolder); refused.exitCode != 0) return refused;

    ServiceRegistration registration;
    // Quoted: a path with blanks would otherwise let the service manager try
    // "C:\Program.exe" first.
    registration.commandLine = u"\"" + programPath + u"\" " + contract::runAsServiceSwitch;
    registration.description = getText(textid::serviceDescription);

    bool created = false;
    code = setupRegisterService(registration, created);
    if (code != 0) return failed(textid::serviceInstallFailed, textid::stepRegisterService, causeOf(code));

    // A failure after this point leaves nothing half made: a service that
    // cannot write its database would only fail and be restarted for ever.
    auto failedAfterRegistering = [&](textid::Id step, const std::u16string& cause) {
        if (created) {
            setupDeleteService();
            setupRemoveEventSource();
        }
        return failed(textid::serviceInstallFailed, step, cause);
    };
    if ((code = setupRegisterEventSource(programPath)) != 0)
        return failedAfterRegistering(textid::stepEventSource, causeOf(code));
    std::u16string dataFolder;
    if ((code = setupDataFolder(programFolder, true, dataFolder)) != 0
        || (code = setupGrantFolder(dataFolder)) != 0)
        return failedAfterRegistering(textid::stepGrantFolder, causeOf(code));
    const DatabaseMoveResult move = setupMoveDatabase(programFolder, dataFolder);
    if (std::u16string cause = moveFailure(move.outcome); !cause.empty())
        return failedAfterRegistering(textid::stepMoveDatabase, cause);

    bool stoppedAtOnce = false;
    code = setupStartService(stoppedAtOnce);
    // Registered and allowed, but not running: it stays installed, for the
    // cause may be passing (a damaged database replaced, say), and the
    // failure actions try again.
    if (stoppedAtOnce)
        return failed(
            textid::serviceInstallFailed, textid::stepStartService, getText(textid::causeStoppedAtStart));
    if (code != 0) return failed(textid::serviceInstallFailed, textid::stepStartService, causeOf(code));
    return {0, installedWords(dataFolder, move)};
}

SetupOutcome uninstallService(const std::u16string& programPath)
{
    std::uint32_t code = setupStopService();
    const bool installed = code != setupError::serviceDoesNotExist;
    if (installed && code != 0)
        return failed(textid::serviceUninstallFailed, textid::stepStopService, causeOf(code));
    if (installed && (code = setupDeleteService()) != 0)
        return failed(textid::serviceUninstallFailed, textid::stepDeleteService, causeOf(code));
    // Also when no service is installed: what an earlier removal left behind
    // goes now.
    if ((code = setupRemoveEventSource()) != 0)
        return failed(textid::serviceUninstallFailed, textid::stepRemoveEventSource, causeOf(code));
    const std::u16string programFolder = folderOf(programPath);
    std::u16string dataFolder;
    if ((code = setupDataFolder(programFolder, false, dataFolder)) != 0
        || (code = setupRevokeFolder(dataFolder)) != 0
        || (dataFolder != programFolder && (code = setupRevokeFolder(programFolder)) != 0))
        return failed(textid::serviceUninstallFailed, textid::stepRevokeFolder, causeOf(code));
    return {0, getText(installed ? textid::serviceUninstalled : textid::serviceWasNotInstalled)};
}
