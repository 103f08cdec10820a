// The service's portable parts: its command line, installing and removing it
// over a service manager that fails where a case says (a user without the
// rights, a service still marked for removal), and its bounded log.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/language_texts.h"
#include "service/service_command.h"
#include "service/service_log.h"
#include "service/service_setup.h"

namespace {

// The system as the setup sees it: each call is noted, and the one a case
// names answers with the case's error code.
struct FakeSystem {
    std::string failing;
    std::uint32_t code = 0;
    bool installedBefore = false;
    bool stoppedAtOnce = false;
    std::string calls;
    ServiceRegistration registration;
    std::u16string folder;
} fake;

std::uint32_t answer(const char* call)
{
    fake.calls += fake.calls.empty() ? call : std::string(" ") + call;
    return fake.failing == call ? fake.code : 0;
}

} // namespace

std::uint32_t setupRegisterService(const ServiceRegistration& registration, bool& created)
{
    fake.registration = registration;
    created = !fake.installedBefore;
    return answer("register");
}
std::uint32_t setupDeleteService()
{
    return answer("delete");
}
std::uint32_t setupRegisterEventSource(const std::u16string&)
{
    return answer("source");
}
std::uint32_t setupRemoveEventSource()
{
    return answer("unsource");
}
std::uint32_t setupGrantFolder(const std::u16string& folder)
{
    fake.folder = folder;
    return answer("grant");
}
std::uint32_t setupRevokeFolder(const std::u16string& folder)
{
    fake.folder = folder;
    return answer("revoke");
}
std::uint32_t setupStartService(bool& stoppedAtOnce)
{
    stoppedAtOnce = fake.stoppedAtOnce;
    return answer("start");
}
std::uint32_t setupStopService()
{
    return answer("stop");
}
std::u16string setupErrorWords(std::uint32_t code)
{
    return code == 1053 ? u"The service did not respond in time.\r\n" : u"";
}

namespace {

class ServiceSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream file(PW_BINARY_DIR "/lang/_English.lang.txt", std::ios::binary);
        std::vector<unsigned char> bytes(
            (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        loadTextsFromBytes(bytes);
        fake = FakeSystem{};
    }
    void TearDown() override { freeTexts(); }
};

struct SetupCase {
    const char* what;
    bool install;
    const char* failing;
    std::uint32_t code;
    bool installedBefore;
    bool stoppedAtOnce;
    int exitCode;
    const char* calls;       // in order, the undoing included
    const char16_t* message; // the end of what the box says
};

const SetupCase setupCases[] = {
    {"installed", true, "", 0, false, false, 0, "register source grant start",
        u"It counts the pages printed on this computer, also while nobody is logged on."},
    {"no rights: nothing made", true, "register", 5, false, false, 1, "register",
        u"could not be installed.\r\n\r\nRegistering the service: access denied. Run the command as "
        u"administrator, for example from a Command Prompt opened with \"Run as administrator\"."},
    {"no rights on the folder: the new service goes again", true, "grant", 5, false, false, 1,
        "register source grant delete unsource",
        u"in the program's folder: access denied. Run the command "
        u"as administrator, for example from a Command Prompt "
        u"opened with \"Run as administrator\"."},
    {"an older installation stays when the update fails", true, "source", 5, true, false, 1,
        "register source",
        u"Registering the event log source: access denied. Run the command as administrator, for example "
        u"from a Command Prompt opened with \"Run as administrator\"."},
    {"still marked for removal", true, "register", 1072, false, false, 1, "register",
        u"Registering the service: the service is still marked for removal. Close the Services window and "
        u"any other program that has it open, then try again."},
    {"the system's words, without their line break", true, "start", 1053, false, false, 1,
        "register source grant start", u"Starting the service: The service did not respond in time."},
    {"a code without words", true, "start", 4242, false, false, 1, "register source grant start",
        u"Starting the service: Windows error code 4242"},
    {"stopped at once: its log says why", true, "", 0, false, true, 1, "register source grant start",
        u"Starting the service: the service stopped right after it started. The reason is in "
        u"pagewarden-service.log in the program's folder and in the Application event log."},
    {"removed", false, "", 0, true, false, 0, "stop delete unsource revoke",
        u"The counts stay in pgwarden.db in the program's folder."},
    {"not installed: what is left goes, and that is no failure", false, "stop", 1060, false, false, 0,
        "stop unsource revoke", u"The Pagewarden service is not installed; there was nothing to remove."},
    {"no rights to stop it: it stays", false, "stop", 5, true, false, 1, "stop",
        u"could not be removed.\r\n\r\nStopping the service: access denied. Run the command as "
        u"administrator, "
        u"for example from a Command Prompt opened with \"Run as administrator\"."},
    {"no rights on the folder", false, "revoke", 5, true, false, 1, "stop delete unsource revoke",
        u"Taking back the service's rights to the program's folder: access denied. Run the command as "
        u"administrator, for example from a Command Prompt opened with \"Run as administrator\"."},
};

} // namespace

TEST_F(ServiceSetup, EachOutcomeSaysWhatHappenedAndUndoesWhatItHalfMade)
{
    for (const SetupCase& c : setupCases) {
        SCOPED_TRACE(c.what);
        fake = FakeSystem{};
        fake.failing = c.failing;
        fake.code = c.code;
        fake.installedBefore = c.installedBefore;
        fake.stoppedAtOnce = c.stoppedAtOnce;
        const std::u16string program = u"C:\\Print server\\Pagewarden\\pagewarden.exe";
        SetupOutcome outcome = c.install ? installService(program) : uninstallService(program);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(fake.calls, c.calls);
        std::u16string end = c.message;
        EXPECT_TRUE(outcome.message.ends_with(end))
            << std::string(outcome.message.begin(), outcome.message.end());
        if (fake.calls.find("grant") != std::string::npos || fake.calls.find("revoke") != std::string::npos) {
            EXPECT_EQ(fake.folder, u"C:\\Print server\\Pagewarden");
        }
        if (!c.install) continue;
        // The program path is quoted, so a folder with blanks cannot be
        // taken for a program of its own; the description is the language's.
        EXPECT_EQ(
            fake.registration.commandLine, u"\"C:\\Print server\\Pagewarden\\pagewarden.exe\" /service");
        EXPECT_TRUE(fake.registration.description.starts_with(u"Counts the pages printed on every printer"));
    }
}

TEST(ServiceCommandLine, SwitchesInAnyCaseEitherMarkTheFirstRoleDecides)
{
    struct Case {
        std::vector<std::u16string> words;
        ProgramRole role;
        bool quiet;
    };
    const Case cases[] = {
        {{}, ProgramRole::trayProgram, false},
        {{u"/service"}, ProgramRole::service, false},
        {{u"/install-service", u"/quiet"}, ProgramRole::installService, true},
        {{u"-QUIET", u"-Uninstall-Service"}, ProgramRole::uninstallService, true},
        {{u"/uninstall-service", u"/install-service"}, ProgramRole::uninstallService, false},
        // Not ours: the tray program as always.
        {{u"/services", u"install-service", u"/", u"/quiet"}, ProgramRole::trayProgram, true},
        {{u"C:\\some file.txt", u"/Install-Service"}, ProgramRole::installService, false},
        {{u"-Report", u"/by", u"user"}, ProgramRole::report, false},
        {{u"/report", u"/install-service"}, ProgramRole::report, false},
    };
    for (const Case& c : cases) {
        CommandLineRequest request = readCommandLine(c.words);
        EXPECT_EQ(request.role, c.role);
        EXPECT_EQ(request.quiet, c.quiet);
    }
}

TEST(ServiceLog, EntriesAreDatedLinesAndTheOlderHalfGoesAtTheLimit)
{
    const DateTime at{2026, 3, 2, 9, 7, 5, 4, 0};
    const std::string entry
        = serviceLogEntry(at, u"Pagewarden error", u"Line:\r\n12\r\n\r\nmisqlite\r\nfile is not a database");
    // An empty report line is kept as a blank, so an entry ends only at its empty line.
    EXPECT_EQ(entry,
        "2026-03-09 07:05:04  Pagewarden error\r\nLine:\r\n12\r\n \r\nmisqlite\r\nfile is not a "
        "database\r\n\r\n");
    EXPECT_EQ(serviceLogEntry(at, u"\u00C9", u"\U0001F5A8"),
        "2026-03-09 07:05:04  \xC3\x89\r\n\xF0\x9F\x96\xA8\r\n\r\n");

    const std::string bom = "\xEF\xBB\xBF";
    auto entryOf = [](char c) { return std::string(8, c) + "\r\n\r\n"; }; // 12 bytes
    struct Case {
        const char* what;
        std::string log;
        std::string entry;
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {"a new log gets its mark", "", entryOf('a'), 100, bom + entryOf('a')},
        {"below the limit: appended", bom + entryOf('a'), entryOf('b'), 100,
            bom + entryOf('a') + entryOf('b')},
        {"exactly at the limit: kept", bom + entryOf('a'), entryOf('b'), 27,
            bom + entryOf('a') + entryOf('b')},
        {"past it: the older half goes, from the next whole entry",
            bom + entryOf('a') + entryOf('b') + entryOf('c') + entryOf('d'), entryOf('e'), 60,
            bom + entryOf('c') + entryOf('d') + entryOf('e')},
        {"a half still too long: the entry alone", bom + entryOf('a') + entryOf('b'), std::string(30, 'x'),
            40, bom + std::string(30, 'x')},
        {"an entry larger than the limit is kept whole", bom + entryOf('a'), std::string(50, 'x'), 40,
            bom + std::string(50, 'x')},
    };
    for (const Case& c : cases) EXPECT_EQ(appendToServiceLog(c.log, c.entry, c.limit), c.expected) << c.what;
}
