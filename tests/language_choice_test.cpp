// The language window's rename plan: what the folder holds after a choice.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/language_choice.h"

namespace {

using Outcome = LanguagePlanOutcome;

FolderEntryName file(const char16_t* name)
{
    return {name, false};
}
FolderEntryName folder(const char16_t* name)
{
    return {name, true};
}

std::string narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

// The test's own idea of a name clash on Windows, kept apart from the code's:
// ASCII and Latin-1 letters are enough for the names below.
std::u16string clashKey(const std::u16string& name)
{
    std::u16string key(name);
    for (char16_t& unit : key)
        if ((unit >= u'a' && unit <= u'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7)) unit -= 0x20;
    return key;
}

// Carries the renames out one after another on a folder that, like Windows,
// refuses a name already taken ignoring case; returns the names it ends with,
// sorted, or records a failure at the first rename that could not be made.
std::vector<std::u16string> carryOut(
    std::vector<FolderEntryName> entries, const std::vector<FileRename>& renames)
{
    for (const FileRename& rename : renames) {
        auto source = std::find_if(
            entries.begin(), entries.end(), [&](const FolderEntryName& e) { return e.name == rename.from; });
        bool taken = std::any_of(entries.begin(), entries.end(),
            [&](const FolderEntryName& e) { return clashKey(e.name) == clashKey(rename.to); });
        EXPECT_NE(source, entries.end()) << "renamed twice or never there: " << narrow(rename.from);
        EXPECT_FALSE(taken) << narrow(rename.from) << " -> " << narrow(rename.to) << " overwrites a file";
        if (source == entries.end() || taken) break;
        source->name = rename.to;
    }
    std::vector<std::u16string> names;
    for (const FolderEntryName& entry : entries) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::u16string> sorted(std::vector<std::u16string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

struct PlanCase {
    const char* what;
    std::vector<FolderEntryName> entries;
    std::u16string chosen;
    Outcome outcome;
    std::vector<std::u16string> after; // for a refused plan: the names as they were
    std::size_t renames;
};

const PlanCase planCases[] = {
    {"choosing B over marked A moves the mark; C keeps its name",
        {file(u"_A.lang.txt"), file(u"B.lang.txt"), file(u"C.lang.txt")}, u"B", Outcome::ready,
        {u"A.lang.txt", u"C.lang.txt", u"_B.lang.txt"}, 2},
    {"choosing the active language renames nothing", {file(u"B.lang.txt"), file(u"_A.lang.txt")}, u"A",
        Outcome::ready, {u"B.lang.txt", u"_A.lang.txt"}, 0},
    {"several leading underscores all go; the chosen file keeps one",
        {file(u"__A.lang.txt"), file(u"___B.lang.txt"), file(u"C.lang.txt")}, u"B", Outcome::ready,
        {u"A.lang.txt", u"C.lang.txt", u"_B.lang.txt"}, 2},
    {"a chosen file with two marks keeps one", {file(u"__A.lang.txt"), file(u"B.lang.txt")}, u"A",
        Outcome::ready, {u"B.lang.txt", u"_A.lang.txt"}, 1},
    {"a marked file with an empty language name is unmarked", {file(u"_.lang.txt"), file(u"A.lang.txt")},
        u"A", Outcome::ready, {u".lang.txt", u"_A.lang.txt"}, 2},
    {"folders and other files keep their names",
        {folder(u"."), folder(u".."), folder(u"_Old.lang.txt"), file(u"_notes.txt"), file(u"_B.LANG.TXT"),
            file(u"_C.lang.txt.bak"), file(u"A.lang.txt")},
        u"A", Outcome::ready,
        {u".", u"..", u"_A.lang.txt", u"_B.LANG.TXT", u"_C.lang.txt.bak", u"_Old.lang.txt", u"_notes.txt"},
        1},
    {"names beyond ASCII", {file(u"_English.lang.txt"), file(u"Español.lang.txt")}, u"Español",
        Outcome::ready, {u"English.lang.txt", u"_Español.lang.txt"}, 2},
    // Listed first, "__B" would take "B" while "b" still has it.
    {"a rename waits until its new name is free", {file(u"__B.lang.txt"), file(u"b.lang.txt")}, u"b",
        Outcome::ready, {u"B.lang.txt", u"_b.lang.txt"}, 2},

    {"a file and its marked twin: nothing is renamed",
        {file(u"_A.lang.txt"), file(u"A.lang.txt"), file(u"B.lang.txt")}, u"B", Outcome::collision,
        {u"A.lang.txt", u"B.lang.txt", u"_A.lang.txt"}, 0},
    {"choosing the twin itself: nothing is renamed", {file(u"_A.lang.txt"), file(u"A.lang.txt")}, u"A",
        Outcome::collision, {u"A.lang.txt", u"_A.lang.txt"}, 0},
    {"final names equal ignoring case", {file(u"_a.lang.txt"), file(u"A.lang.txt"), file(u"B.lang.txt")},
        u"B", Outcome::collision, {u"A.lang.txt", u"B.lang.txt", u"_a.lang.txt"}, 0},
    {"final names equal ignoring case beyond ASCII",
        {file(u"Español.lang.txt"), file(u"_ESPAÑOL.lang.txt"), file(u"English.lang.txt")}, u"English",
        Outcome::collision, {u"English.lang.txt", u"Español.lang.txt", u"_ESPAÑOL.lang.txt"}, 0},
    {"a final name taken by a folder", {folder(u"b.lang.txt"), file(u"_B.lang.txt"), file(u"A.lang.txt")},
        u"A", Outcome::collision, {u"A.lang.txt", u"_B.lang.txt", u"b.lang.txt"}, 0},
    {"a final name taken by a file of another suffix", {file(u"_A.LANG.TXT"), file(u"A.lang.txt")}, u"A",
        Outcome::collision, {u"A.lang.txt", u"_A.LANG.TXT"}, 0},
    {"two empty language names", {file(u"_.lang.txt"), file(u"__.lang.txt"), file(u"A.lang.txt")}, u"A",
        Outcome::collision, {u"A.lang.txt", u"_.lang.txt", u"__.lang.txt"}, 0},
    {"two renames waiting on each other", {file(u"_B.lang.txt"), file(u"b.lang.txt")}, u"b",
        Outcome::collision, {u"_B.lang.txt", u"b.lang.txt"}, 0},

    {"the chosen language is gone", {file(u"_A.lang.txt"), file(u"B.lang.txt")}, u"C", Outcome::choiceMissing,
        {u"B.lang.txt", u"_A.lang.txt"}, 0},
    {"the chosen name differs in case", {file(u"_A.lang.txt"), file(u"B.lang.txt")}, u"b",
        Outcome::choiceMissing, {u"B.lang.txt", u"_A.lang.txt"}, 0},
    {"only a folder has the chosen name", {folder(u"B.lang.txt"), file(u"_A.lang.txt")}, u"B",
        Outcome::choiceMissing, {u"B.lang.txt", u"_A.lang.txt"}, 0},
    {"an empty choice matches no empty language name", {file(u"_.lang.txt"), file(u"A.lang.txt")}, u"",
        Outcome::choiceMissing, {u"A.lang.txt", u"_.lang.txt"}, 0},
    {"a vanished choice is reported as such, twins or not", {file(u"_A.lang.txt"), file(u"A.lang.txt")}, u"C",
        Outcome::choiceMissing, {u"A.lang.txt", u"_A.lang.txt"}, 0},
    {"an empty folder", {}, u"A", Outcome::choiceMissing, {}, 0},
};

} // namespace

TEST(LanguageChoice, EveryPlanLeavesExactlyTheChosenFileMarked)
{
    for (const PlanCase& c : planCases) {
        SCOPED_TRACE(c.what);
        LanguagePlan plan = planLanguageChoice(c.entries, c.chosen);
        EXPECT_EQ(plan.outcome, c.outcome);
        EXPECT_EQ(plan.renames.size(), c.renames);
        for (const FileRename& rename : plan.renames)
            EXPECT_NE(rename.from, rename.to) << "a file renamed to its own name";
        EXPECT_EQ(carryOut(c.entries, plan.renames), sorted(c.after));
    }
}

// A rename that fails midway is taken back: after any number of the plan's
// renames, their undoing puts every name back, without a clash on the way.
TEST(LanguageChoice, UndoingPartOfAPlanRestoresTheFolder)
{
    for (const PlanCase& c : planCases) {
        SCOPED_TRACE(c.what);
        LanguagePlan plan = planLanguageChoice(c.entries, c.chosen);
        std::vector<std::u16string> before;
        for (const FolderEntryName& entry : c.entries) before.push_back(entry.name);
        for (std::size_t done = 0; done <= plan.renames.size(); ++done) {
            std::vector<FileRename> steps(plan.renames.begin(), plan.renames.begin() + done);
            std::vector<FileRename> undo = undoRenames(plan.renames, done);
            EXPECT_EQ(undo.size(), done);
            steps.insert(steps.end(), undo.begin(), undo.end());
            EXPECT_EQ(carryOut(c.entries, steps), sorted(before)) << done << " renames made";
        }
    }
}

TEST(LanguageChoice, LanguageNamesOfFileNames)
{
    const std::pair<const char16_t*, std::optional<std::u16string>> names[] = {
        {u"English.lang.txt", u"English"},
        {u"_English.lang.txt", u"English"},
        {u"___English.lang.txt", u"English"},
        {u"a.lang.txt", u"a"}, // exactly ten units
        {u"_a_.lang.txt", u"a_"},
        {u"Español.lang.txt", u"Español"},
        {u"_.lang.txt", std::nullopt}, // the mark alone: no name to show
        {u"__.lang.txt", std::nullopt},
        {u".lang.txt", std::nullopt}, // nine units
        {u"English.Lang.txt", std::nullopt},
        {u"English.lang.txt.bak", std::nullopt},
        {u"English.txt", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto& [fileName, expected] : names) {
        SCOPED_TRACE(narrow(fileName));
        EXPECT_EQ(languageNameOf(fileName), expected);
    }
}

TEST(LanguageChoice, ListedNamesKeepListingOrderAndTwins)
{
    std::vector<FolderEntryName> entries
        = {file(u"_English.lang.txt"), folder(u"."), file(u"_.lang.txt"), folder(u"Deutsch.lang.txt"),
            file(u"Español.lang.txt"), file(u"Zulu.LANG.txt"), file(u"A.lang.txt"), file(u"__A.lang.txt")};
    EXPECT_EQ(
        listedLanguageNames(entries), (std::vector<std::u16string>{u"English", u"Español", u"A", u"A"}));
    EXPECT_TRUE(listedLanguageNames({}).empty());
}

TEST(LanguageChoice, SameFileNameIgnoresCaseUnitByUnit)
{
    const std::tuple<const char16_t*, const char16_t*, bool> pairs[] = {
        {u"English.lang.txt", u"ENGLISH.LANG.TXT", true},
        {u"español", u"ESPAÑOL", true},
        {u"Français", u"FRANÇAIS", true},
        {u"Čeština", u"ČEŠTINA", true},
        {u"Ελληνικά", u"ΕΛΛΗΝΙΚΆ", true},
        {u"Русский", u"РУССКИЙ", true},
        {u"Українська", u"УКРАЇНСЬКА", true},
        {u"ÿ", u"Ÿ", true},
        {u"ς", u"Σ", false}, // Σ is the capital of σ; final sigma has none of its own
        {u"Deutsch", u"Deutsh", false},
        {u"straße", u"STRASSE", false}, // one unit never matches two
        {u"A", u"À", false},
        {u"a", u"a ", false},
        {u"\U0001F5A8", u"\U0001F5A8", true},
    };
    for (const auto& [a, b, same] : pairs) {
        SCOPED_TRACE(narrow(a));
        EXPECT_EQ(sameFileName(a, b), same);
        EXPECT_EQ(sameFileName(b, a), same);
    }
}
