// Finding and reading the active language file in a real folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/fatal_report.h"
#include "common/folders_win32.h"
#include "common/language_files_win32.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "support/fatal_error.h"

namespace fs = std::filesystem;

namespace {

struct LanguageFolder : ::testing::Test {
    fs::path folder;

    void SetUp() override
    {
        folder = fs::temp_directory_path()
            / (std::string("pw-lang-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        freeTexts();
        fs::remove_all(folder);
    }

    void write(const std::wstring& name, const std::u16string& text)
    {
        std::ofstream file(folder / name, std::ios::binary);
        file.write("\xFF\xFE", 2);
        file.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
    }

    // Runs findActiveLanguageFile on the folder and returns the file name it chose.
    std::u16string active(const fs::path& where)
    {
        std::u16string path = findActiveLanguageFile(utf16(where.wstring().c_str()));
        return fs::path(wide(path.c_str())).filename().u16string();
    }
};

bool collectNames(WIN32_FIND_DATAW& entry, const char16_t*, void* context)
{
    static_cast<std::vector<std::u16string>*>(context)->push_back(utf16(entry.cFileName));
    return false;
}

} // namespace

TEST_F(LanguageFolder, MissingFolderAndMissingMarkAreFatal)
{
    EXPECT_FATAL(active(folder / "lang"), u"milibreria", u"163");

    write(L"English.lang.txt", u"1=File\r\n");
    write(L"_Spanish.LANG.TXT", u"1=Archivo\r\n"); // suffix differs in case only
    write(L"_.lang", u"1=x\r\n");
    fs::create_directories(folder / "_Folder.lang.txt"); // folders never count
    EXPECT_FATAL(active(folder), u"milibreria", u"226");
}

TEST_F(LanguageFolder, FirstMarkedFileListedWins)
{
    write(L"English.lang.txt", u"1=File\r\n");
    write(L"_Spanish.lang.txt", u"1=Archivo\r\n");
    write(L"_French.lang.txt", u"1=Fichier\r\n");

    std::vector<std::u16string> listed;
    forEachFolderEntry(utf16(folder.wstring().c_str()), collectNames, &listed);
    std::u16string firstMarked;
    for (const auto& name : listed)
        if (firstMarked.empty() && isActiveLanguageFileName(name.c_str())) firstMarked = name;
    ASSERT_FALSE(firstMarked.empty());
    EXPECT_EQ(active(folder), firstMarked);

    // "." and ".." are offered too; visitors skip them.
    EXPECT_NE(std::find(listed.begin(), listed.end(), u"."), listed.end());
}

TEST_F(LanguageFolder, ReadsTheChosenFileWhole)
{
    std::u16string big;
    for (int id = 1; id <= 3000; ++id) big += std::u16string(u"1") + u"=" + u"x\r\n";
    write(L"_Big.lang.txt", u"30=Already running\r\n40=" + std::u16string(70000, u'y') + u"\r\n" + big);
    std::u16string path = utf16((folder / "_Big.lang.txt").wstring().c_str());
    readLanguageFile(path);
    EXPECT_EQ(std::u16string(getText(30)), u"Already running");
    EXPECT_EQ(std::u16string(getText(40)).size(), 70000u);
    EXPECT_EQ(std::u16string(getText(1)), u"x");
}

TEST_F(LanguageFolder, VanishedFileEndsInThePlainReport)
{
    std::u16string path = utf16((folder / "_Gone.lang.txt").wstring().c_str());
    EXPECT_FATAL(readLanguageFile(path), u"milibreria", u"207");
    EXPECT_FALSE(textsLoaded());
    // With no texts loaded the report still has its wording.
    EXPECT_NE(fatalMessage(u"milibreria", u"207").find(u"207"), std::u16string::npos);
}

// Each file read whole has its limit: at the limit it is read, a byte past it
// it is refused without being read, whatever its kind.
TEST_F(LanguageFolder, FilesOverTheirLimitAreNotRead)
{
    const std::size_t limits[] = {languageFileLimit, 16u << 20, 64u << 20, 64u << 10};
    for (std::size_t limit : limits) {
        for (std::size_t size : {limit, limit + 1}) {
            {
                std::ofstream file(folder / "sized.bin", std::ios::binary);
                file.seekp(static_cast<std::streamoff>(size - 1));
                file.put('x');
            }
            std::string bytes = "before";
            const FileRead read
                = readWholeFile(utf16((folder / "sized.bin").wstring().c_str()), bytes, limit);
            EXPECT_EQ(read, size <= limit ? FileRead::read : FileRead::tooLarge) << limit << " " << size;
            EXPECT_EQ(bytes.size(), size <= limit ? size : 0u);
        }
    }
}

// An active file too large to be a language file gives way to another one
// that can be read, and the note says which; with none, the report says why.
TEST_F(LanguageFolder, AnActiveFileTooLargeGivesWayToAnother)
{
    write(L"_Huge.lang.txt", u"1=Huge\r\n" + std::u16string(languageFileLimit / 2, u' '));
    const std::u16string where = utf16(folder.wstring().c_str());
    EXPECT_FATAL(loadTextsFrom(where), u"milibreria", u"213");

    write(L"English.lang.txt", u"1=File\r\n");
    loadTextsFrom(where);
    EXPECT_EQ(std::u16string(getText(1)), u"File");
    const std::u16string note = languageFileNote();
    EXPECT_NE(note.find(u"_Huge.lang.txt is larger than 1 MB"), std::u16string::npos);
    EXPECT_NE(note.find(u"English.lang.txt"), std::u16string::npos);
}
