// The service's portable parts: its command line, installing and removing it
// over a service manager that fails where a case says (a user without the
// rights, a service still marked for removal, a program folder others may
// change, a database that cannot move), its own SID, and its bounded log.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/language_texts.h"
#include "common/service_sid.h"
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
    std::vector<std::u16string> folders; // granted or revoked, in order
    std::vector<ObjectSecurity> programFiles;
    DatabaseMoveResult move;
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
    fake.folders.push_back(folder);
    return answer("grant");
}
std::uint32_t setupRevokeFolder(const std::u16string& folder)
{
    fake.folders.push_back(folder);
    return answer("revoke");
}
std::uint32_t setupReadProgramFiles(
    const std::u16string&, std::vector<ObjectSecurity>& objects, std::u16string& installerSid)
{
    objects = fake.programFiles;
    installerSid = u"S-1-5-21-1-2-3-1001";
    return answer("read");
}
std::uint32_t setupDataFolder(const std::u16string&, bool create, std::u16string& dataFolder)
{
    dataFolder = u"C:\\ProgramData\\Pagewarden";
    return answer(create ? "data" : "named");
}
DatabaseMoveResult setupMoveDatabase(const std::u16string&, const std::u16string&)
{
    answer("move");
    return fake.move;
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

// A program folder as an elevated administrator makes it under Program
// Files: owned by Administrators, users may read and run.
ObjectSecurity adminsOnly(const char16_t* path)
{
    return {path, u"S-1-5-32-544", u"BUILTIN\\Administrators", true,
        {{u"S-1-5-18", u"NT AUTHORITY\\SYSTEM", 0x1F01FF, true, false},
            {u"S-1-5-32-544", u"BUILTIN\\Administrators", 0x1F01FF, true, false},
            {u"S-1-5-32-545", u"BUILTIN\\Users", 0x1200A9, true, false},
            {u"S-1-3-0", u"CREATOR OWNER", 0x10000000, true, true}}};
}

struct SetupCase {
    const char* what;
    bool install;
    const char* failing;
    std::uint32_t code;
    bool installedBefore;
    bool stoppedAtOnce;
    DatabaseMove move;
    int exitCode;
    const char* calls;       // in order, the undoing included
    const char16_t* message; // the end of what the box says
};

const SetupCase setupCases[] = {
    {"installed", true, "", 0, false, false, DatabaseMove::nothingToMove, 0,
        "revoke read register source data grant move start",
        u"also while nobody is logged on.\r\n\r\nIts data (pgwarden.db and the service's log) is kept in "
        u"C:\\ProgramData\\Pagewarden"},
    {"installed, the database moved: how many jobs", true, "", 0, false, false, DatabaseMove::moved, 0,
        "revoke read register source data grant move start",
        u"C:\\ProgramData\\Pagewarden\r\npgwarden.db was moved there from the program's folder and checked "
        u"whole. Jobs moved: 1234567"},
    {"no rights: nothing made", true, "register", 5, false, false, DatabaseMove::nothingToMove, 1,
        "revoke read register",
        u"could not be installed.\r\n\r\nRegistering the service: access denied. Run the command as "
        u"administrator, for example from a Command Prompt opened with \"Run as administrator\"."},
    {"no rights to the program's folder: nothing made", true, "revoke", 5, false, false,
        DatabaseMove::nothingToMove, 1, "revoke",
        u"Taking back the service's rights to its folders: access denied. Run the command as administrator, "
        u"for example from a Command Prompt opened with \"Run as administrator\"."},
    {"no rights on the data folder: the new service goes again", true, "grant", 5, false, false,
        DatabaseMove::nothingToMove, 1, "revoke read register source data grant delete unsource",
        u"Letting the service change its data folder: access denied. Run the command as administrator, for "
        u"example from a Command Prompt opened with \"Run as administrator\"."},
    {"a database in both folders: neither is touched", true, "", 0, false, false, DatabaseMove::alreadyThere,
        1, "revoke read register source data grant move delete unsource",
        u"Moving pgwarden.db to the data folder: the data folder already holds a pgwarden.db. Keep one of "
        u"the two files, then install again."},
    {"a damaged database stays", true, "", 0, false, false, DatabaseMove::unreadable, 1,
        "revoke read register source data grant move delete unsource", u"it stays where it is."},
    {"a copy that failed its check", true, "", 0, true, false, DatabaseMove::copyFailed, 1,
        "revoke read register source data grant move", u"pgwarden.db stays in the program's folder."},
    {"an older installation stays when the update fails", true, "source", 5, true, false,
        DatabaseMove::nothingToMove, 1, "revoke read register source",
        u"Registering the event log source: access denied. Run the command as administrator, for example "
        u"from a Command Prompt opened with \"Run as administrator\"."},
    {"still marked for removal", true, "register", 1072, false, false, DatabaseMove::nothingToMove, 1,
        "revoke read register",
        u"Registering the service: the service is still marked for removal. Close the Services window and "
        u"any other program that has it open, then try again."},
    {"the system's words, without their line break", true, "start", 1053, false, false,
        DatabaseMove::nothingToMove, 1, "revoke read register source data grant move start",
        u"Starting the service: The service did not respond in time."},
    {"a code without words", true, "start", 4242, false, false, DatabaseMove::nothingToMove, 1,
        "revoke read register source data grant move start",
        u"Starting the service: Windows error code 4242"},
    {"stopped at once: its log says why", true, "", 0, false, true, DatabaseMove::nothingToMove, 1,
        "revoke read register source data grant move start",
        u"Starting the service: the service stopped right after it started. The reason is in "
        u"pagewarden-service.log in the data folder and in the Application event log."},
    {"removed", false, "", 0, true, false, DatabaseMove::nothingToMove, 0,
        "stop delete unsource named revoke revoke", u"The counts stay in pgwarden.db in the data folder."},
    {"not installed: what is left goes, and that is no failure", false, "stop", 1060, false, false,
        DatabaseMove::nothingToMove, 0, "stop unsource named revoke revoke",
        u"The Pagewarden service is not installed; there was nothing to remove."},
    {"no rights to stop it: it stays", false, "stop", 5, true, false, DatabaseMove::nothingToMove, 1, "stop",
        u"could not be removed.\r\n\r\nStopping the service: access denied. Run the command as "
        u"administrator, "
        u"for example from a Command Prompt opened with \"Run as administrator\"."},
    {"no rights on the folders", false, "revoke", 5, true, false, DatabaseMove::nothingToMove, 1,
        "stop delete unsource named revoke",
        u"Taking back the service's rights to its folders: access denied. Run the command as administrator, "
        u"for example from a Command Prompt opened with \"Run as administrator\"."},
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
        fake.move = {c.move, c.move == DatabaseMove::moved ? 1234567 : 0};
        fake.programFiles = {adminsOnly(u"C:\\Print server\\Pagewarden")};
        const std::u16string program = u"C:\\Print server\\Pagewarden\\pagewarden.exe";
        SetupOutcome outcome = c.install ? installService(program) : uninstallService(program);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(fake.calls, c.calls);
        std::u16string end = c.message;
        EXPECT_TRUE(outcome.message.ends_with(end))
            << std::string(outcome.message.begin(), outcome.message.end());
        // The program's folder loses what older versions gave LocalService;
        // the data folder is the one granted, and taken back at removal.
        const std::vector<std::u16string> folders = c.install
            ? std::vector<std::u16string>{u"C:\\Print server\\Pagewarden", u"C:\\ProgramData\\Pagewarden"}
            : std::vector<std::u16string>{u"C:\\ProgramData\\Pagewarden", u"C:\\Print server\\Pagewarden"};
        for (std::size_t i = 0; i < fake.folders.size(); ++i) EXPECT_EQ(fake.folders[i], folders.at(i));
        if (fake.calls.find("register") == std::string::npos) continue;
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

TEST_F(ServiceSetup, AProgramFolderOthersMayChangeIsRefusedWithWhereToMoveIt)
{
    // The folder as a new folder at the root of C: is by default: any
    // signed-in user may add files to it (a library the service would load).
    ObjectSecurity folder = adminsOnly(u"C:\\Pagewarden");
    folder.entries.push_back({u"S-1-5-11", u"NT AUTHORITY\\Authenticated Users", 0x1301BF, true, false});
    fake.programFiles = {folder};
    SetupOutcome outcome = installService(u"C:\\Pagewarden\\pagewarden.exe");
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(fake.calls, "revoke read") << "nothing is registered";
    EXPECT_TRUE(outcome.message.ends_with(
        u"Checking who can change the program's files: C:\\Pagewarden can be changed by NT "
        u"AUTHORITY\\Authenticated Users.\r\n\r\nA service may only run files that administrators alone "
        u"can change. Move the program to such a folder, for example C:\\Program Files\\Pagewarden, and "
        u"install the service from there."));
}

TEST(ProgramFiles, OnlyAdministratorsSystemAndTrustedInstallerMayChangeThem)
{
    const std::u16string installer = u"S-1-5-21-7-8-9-1001";
    const std::u16string trustedInstaller = u"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    struct Case {
        const char* what;
        const char16_t* owner;
        AccessEntry entry;
        const char16_t* who; // empty: safe
    };
    const Case cases[] = {
        {"read and run for Users", u"S-1-5-32-544", {u"S-1-5-32-545", u"Users", 0x1200A9, true, false}, u""},
        {"TrustedInstaller may do anything", u"S-1-5-32-544",
            {trustedInstaller, u"TI", 0x1F01FF, true, false}, u""},
        {"owned by the installing administrator", installer.c_str(),
            {u"S-1-5-18", u"SYSTEM", 0x1F01FF, true, false}, u""},
        {"owned by another user, who may change its list", u"S-1-5-21-7-8-9-1002",
            {u"S-1-5-18", u"SYSTEM", 0x1F01FF, true, false}, u"owner"},
        {"write for Users", u"S-1-5-32-544", {u"S-1-5-32-545", u"Users", 0x2, true, false}, u"Users"},
        {"append (a folder: new folders)", u"S-1-5-32-544", {u"S-1-1-0", u"Everyone", 0x4, true, false},
            u"Everyone"},
        {"delete what the folder holds", u"S-1-5-32-544", {u"S-1-5-4", u"INTERACTIVE", 0x40, true, false},
            u"INTERACTIVE"},
        {"delete", u"S-1-5-32-544", {u"S-1-5-19", u"LOCAL SERVICE", 0x10000, true, false}, u"LOCAL SERVICE"},
        {"change the list", u"S-1-5-32-544", {u"S-1-5-11", u"Auth", 0x40000, true, false}, u"Auth"},
        {"take ownership", u"S-1-5-32-544", {u"S-1-5-11", u"Auth", 0x80000, true, false}, u"Auth"},
        {"generic write", u"S-1-5-32-544", {u"S-1-5-11", u"Auth", 0x40000000, true, false}, u"Auth"},
        {"generic all", u"S-1-5-32-544", {u"S-1-5-11", u"Auth", 0x10000000, true, false}, u"Auth"},
        {"the installing administrator's own entry, who may own it anyway", u"S-1-5-32-544",
            {installer, u"PC\\admin", 0x1F01FF, true, false}, u""},
        {"for what is made later only", u"S-1-5-32-544",
            {u"S-1-3-0", u"CREATOR OWNER", 0x10000000, true, true}, u""},
        {"a denying entry", u"S-1-5-32-544", {u"S-1-1-0", u"Everyone", 0x1F01FF, false, false}, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ObjectSecurity file{
            u"C:\\Program Files\\Pagewarden\\sqlite3.dll", c.owner, u"owner", true, {c.entry}};
        ChangeableObject found
            = firstChangeableByOthers({adminsOnly(u"C:\\Program Files\\Pagewarden"), file}, installer);
        EXPECT_EQ(found.who, c.who);
        if (*c.who != 0) {
            EXPECT_EQ(found.path, file.path);
        }
    }
    ObjectSecurity noList{u"C:\\P\\lang", u"S-1-5-32-544", u"", false, {}};
    EXPECT_EQ(firstChangeableByOthers({noList}, installer).who, u"Everyone") << "no list: anybody may";
}

TEST(DataFolder, ItsListNamesTheServicesOwnSidAndNoSharedServiceAccount)
{
    const std::u16string list = dataFolderAccessList(serviceSidText(u"Pagewarden"));
    EXPECT_EQ(list,
        u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
        u"(A;OICI;0x1301bf;;;S-1-5-80-1438625638-20530767-170991381-936539563-773667104)(A;OICI;0x1301bf;;;"
        u"IU)");
    // Modify: never the rights to change the list or take the folder.
    EXPECT_EQ(0x1301bfu & (0x00040000u | 0x00080000u | 0x10000000u), 0u);
}

TEST(ServiceSid, WorkedOutFromTheNameAsWindowsDoes)
{
    // The SID every Windows gives TrustedInstaller, whatever the case of the name.
    EXPECT_EQ(serviceSidText(u"TrustedInstaller"),
        u"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    EXPECT_EQ(serviceSidText(u"trustedinstaller"), serviceSidText(u"TRUSTEDINSTALLER"));
    EXPECT_EQ(serviceSidText(u"Pagewarden"), u"S-1-5-80-1438625638-20530767-170991381-936539563-773667104");
    EXPECT_NE(serviceSidText(u"Pagewarden2"), serviceSidText(u"Pagewarden"));
}
