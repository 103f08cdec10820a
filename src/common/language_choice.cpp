// The language window's rename plan. Portable: no Windows header here.
#include "common/language_choice.h"

#include <algorithm>
#include <set>

#include "common/language_texts.h"

namespace {

constexpr std::size_t suffixLength = sizeof(languageSuffix) / sizeof(char16_t) - 1;

// The name without its leading marks; a language file's keeps its suffix,
// which cannot start with "_".
std::u16string withoutMarks(const std::u16string& name)
{
    std::size_t first = name.find_first_not_of(u'_');
    return first == std::u16string::npos ? std::u16string() : name.substr(first);
}

// Unit by unit, like the table the file system compares names with: no unit
// turns into two ("ß" stays "ß"), surrogates stay as they are, and a small
// letter whose capital belongs to another small letter keeps itself (dotless
// i, long s, micro sign, final sigma).
char16_t upperCase(char16_t unit)
{
    if (unit < 0x80) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
    if (unit < 0x100) {
        if (unit == 0xFF) return 0x178;
        if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 0x20);
        return unit;
    }
    if (unit < 0x180) {
        // Latin Extended-A pairs each capital with the small letter after it,
        // the capitals even in two runs and odd in the two between them.
        bool evenCapitals = (unit < 0x138 && unit != 0x131) || (unit >= 0x14A && unit < 0x178);
        bool oddCapitals = (unit > 0x138 && unit < 0x149) || (unit > 0x178 && unit < 0x17F);
        if ((evenCapitals && unit % 2 == 1) || (oddCapitals && unit % 2 == 0))
            return static_cast<char16_t>(unit - 1);
        return unit;
    }
    if (unit >= 0x3AC && unit <= 0x3CE) { // Greek small letters, with and without tonos
        if (unit == 0x3AC) return 0x386;
        if (unit <= 0x3AF) return static_cast<char16_t>(unit - 0x25);
        if (unit == 0x3B0 || unit == 0x3C2) return unit;
        if (unit <= 0x3CB) return static_cast<char16_t>(unit - 0x20);
        if (unit == 0x3CC) return 0x38C;
        return static_cast<char16_t>(unit - 0x3F);
    }
    if (unit >= 0x430 && unit <= 0x44F) return static_cast<char16_t>(unit - 0x20);
    if (unit >= 0x450 && unit <= 0x45F) return static_cast<char16_t>(unit - 0x50);
    return unit;
}

std::u16string upperCase(const std::u16string& name)
{
    std::u16string upper(name);
    for (char16_t& unit : upper) unit = upperCase(unit);
    return upper;
}

} // namespace

std::optional<std::u16string> languageNameOf(const std::u16string& fileName)
{
    if (!isLanguageFileName(fileName.c_str())) return std::nullopt;
    std::u16string unmarked = withoutMarks(fileName);
    if (unmarked.size() == suffixLength) return std::nullopt; // "_.lang.txt"
    return unmarked.substr(0, unmarked.size() - suffixLength);
}

std::vector<std::u16string> listedLanguageNames(const std::vector<FolderEntryName>& entries)
{
    std::vector<std::u16string> names;
    for (const FolderEntryName& entry : entries) {
        if (entry.isFolder) continue;
        if (std::optional<std::u16string> name = languageNameOf(entry.name)) names.push_back(*name);
    }
    return names;
}

bool sameFileName(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && upperCase(a) == upperCase(b);
}

LanguagePlan planLanguageChoice(const std::vector<FolderEntryName>& entries, const std::u16string& chosen)
{
    struct Rename {
        FileRename names;
        std::u16string upperFrom, upperTo;
    };
    std::set<std::u16string> finalNames;   // upper-cased: what Windows tells apart
    std::vector<std::u16string> stayNames; // upper-cased names of everything else
    std::vector<Rename> pending;
    bool chosenFound = false;
    bool collided = false;

    for (const FolderEntryName& entry : entries) {
        if (entry.isFolder || !isLanguageFileName(entry.name.c_str())) {
            stayNames.push_back(upperCase(entry.name));
            continue;
        }
        std::u16string unmarked = withoutMarks(entry.name);
        // The list shows names exactly as they are: "english" chooses no "English".
        bool isChosen = !chosen.empty() && unmarked.size() == chosen.size() + suffixLength
            && unmarked.compare(0, chosen.size(), chosen) == 0;
        chosenFound |= isChosen;
        std::u16string finalName = isChosen ? u"_" + unmarked : unmarked;
        // Two language files with one language name end here too: both
        // unmarked, or both marked when chosen.
        collided |= !finalNames.insert(upperCase(finalName)).second;
        if (finalName != entry.name)
            pending.push_back({{entry.name, finalName}, upperCase(entry.name), upperCase(finalName)});
    }
    if (!chosenFound) return {LanguagePlanOutcome::choiceMissing, {}};
    for (const std::u16string& stay : stayNames) collided |= finalNames.count(stay) != 0;
    if (collided) return {LanguagePlanOutcome::collision, {}};

    // A rename waits while its new name still belongs to a file that has yet
    // to move: "__B" becomes "B" only after "b" became "_b". Files that keep
    // their names and the entries that stay hold none of the final names, so
    // only pending renames can be in the way.
    std::vector<FileRename> ordered;
    while (!pending.empty()) {
        auto unblocked = std::find_if(pending.begin(), pending.end(), [&](const Rename& rename) {
            return std::none_of(pending.begin(), pending.end(),
                [&](const Rename& other) { return &other != &rename && other.upperFrom == rename.upperTo; });
        });
        // "_B" to "B" while "b" goes to "_b": each waits for the other, and
        // no order of plain renames gets there.
        if (unblocked == pending.end()) return {LanguagePlanOutcome::collision, {}};
        ordered.push_back(std::move(unblocked->names));
        pending.erase(unblocked);
    }
    return {LanguagePlanOutcome::ready, std::move(ordered)};
}

std::vector<FileRename> undoRenames(const std::vector<FileRename>& renames, std::size_t done)
{
    std::vector<FileRename> undo;
    for (std::size_t i = std::min(done, renames.size()); i-- > 0;)
        undo.push_back({renames[i].to, renames[i].from});
    return undo;
}
