#include "service/service_setup.h"

#include "common/language_texts.h"
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

SetupOutcome installService(const std::u16string& programPath)
{
    ServiceRegistration registration;
    // Quoted: a path with blanks would otherwise let the service manager try
    // "C:\Program.exe" first.
    registration.commandLine = u"\"" + programPath + u"\" " + contract::runAsServiceSwitch;
    registration.description = getText(textid::serviceDescription);

    bool created = false;
    std::uint32_t code = setupRegisterService(registration, created);
    if (code != 0) return failed(textid::serviceInstallFailed, textid::stepRegisterService, causeOf(code));

    // A failure after this point leaves nothing half made: a service that
    // cannot write its database would only fail and be restarted for ever.
    auto undo = [&] {
        if (!created) return;
        setupDeleteService();
        setupRemoveEventSource();
    };
    if ((code = setupRegisterEventSource(programPath)) != 0) {
        undo();
        return failed(textid::serviceInstallFailed, textid::stepEventSource, causeOf(code));
    }
    if ((code = setupGrantFolder(folderOf(programPath))) != 0) {
        undo();
        return failed(textid::serviceInstallFailed, textid::stepGrantFolder, causeOf(code));
    }
    bool stoppedAtOnce = false;
    code = setupStartService(stoppedAtOnce);
    // Registered and allowed, but not running: it stays installed, for the
    // cause may be passing (a damaged database replaced, say), and the
    // failure actions try again.
    if (stoppedAtOnce)
        return failed(
            textid::serviceInstallFailed, textid::stepStartService, getText(textid::causeStoppedAtStart));
    if (code != 0) return failed(textid::serviceInstallFailed, textid::stepStartService, causeOf(code));
    return {0, getText(textid::serviceInstalled)};
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
    if ((code = setupRevokeFolder(folderOf(programPath))) != 0)
        return failed(textid::serviceUninstallFailed, textid::stepRevokeFolder, causeOf(code));
    return {0, getText(installed ? textid::serviceUninstalled : textid::serviceWasNotInstalled)};
}
