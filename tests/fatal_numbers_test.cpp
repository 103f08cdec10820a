// The numbers of the fatal reports: users quote them, so each one must name
// one check of its unit, but for the numbers listed here, which keep their
// long-standing places, some of them at several checks (a compile and its
// steps, say).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

// It reads the source tree, which only the native build sees.
#ifndef _WIN32

namespace {

// unit:: name in the sources -> the numbers that unit may report from more
// than one check.
const std::map<std::string, std::set<std::string>> sharedNumbers = {
    {"store",
        {"54", "74", "99", "105", "111", "158", "166", "188", "205", "215", "252", "260", "277", "285", "314",
            "336", "359", "379", "382", "398", "411", "414", "431", "444", "447", "463", "466"}},
    {"library",
        {"119", "163", "167", "176", "182", "184", "191", "198", "226", "286", "320", "347", "356", "398",
            "429", "468", "471", "474", "480"}},
    {"savedDates",
        {"87", "170", "172", "197", "230", "236", "241", "245", "248", "256", "264", "274", "283", "292",
            "301", "310", "321", "332", "342", "351", "357", "361", "406", "410", "413", "427", "432",
            "436"}},
    {"about",
        {"24", "33", "42", "93", "96", "99", "102", "113", "118", "155", "157", "166", "178", "189", "200"}},
    {"monitorThread", {"167", "417"}},
    {"monitorControl", {"22", "25"}},
    {"shell", {}},
    {"service", {}},
    {"central", {}},
};

struct Use {
    std::string unit, number, file;
};

// Every number of a fatal report in the sources, with its unit: the one a
// call names, or for a number handed to a helper that reports it, the unit
// the file reports from most.
std::vector<Use> fatalNumbers()
{
    const std::regex call(R"re(fatalError\(unit::(\w+),\s*u"(\d+)"\))re");
    const std::regex unitName(R"re(unit::(\w+))re");
    const std::regex number(R"re(u"(\d+)")re");
    std::vector<Use> uses;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(PW_SOURCE_DIR "/src")) {
        const std::string path = entry.path().string();
        if (!path.ends_with(".cpp")) continue;
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        std::string source = text.str();
        std::map<std::string, int> units;
        for (auto it = std::sregex_iterator(source.begin(), source.end(), unitName);
             it != std::sregex_iterator(); ++it)
            ++units[(*it)[1]];
        std::string mainUnit;
        for (const auto& [name, count] : units)
            if (mainUnit.empty() || count > units[mainUnit]) mainUnit = name;
        // A file that reports only through its folder's helper (the store's
        // storeFailure) reports from its folder's unit.
        if (mainUnit.empty() && path.find("/src/store/") != std::string::npos) mainUnit = "store";
        std::string rest;
        std::sregex_iterator it(source.begin(), source.end(), call), end;
        std::size_t from = 0;
        for (; it != end; ++it) {
            uses.push_back({(*it)[1], (*it)[2], path});
            rest += source.substr(from, static_cast<std::size_t>(it->position()) - from);
            from = static_cast<std::size_t>(it->position() + it->length());
        }
        rest += source.substr(from);
        for (auto n = std::sregex_iterator(rest.begin(), rest.end(), number); n != std::sregex_iterator();
             ++n)
            uses.push_back({mainUnit, (*n)[1], path});
    }
    return uses;
}

} // namespace

TEST(FatalNumbers, EachNumberNamesOneCheckOfItsUnitButTheSharedOnes)
{
    const std::vector<Use> uses = fatalNumbers();
    ASSERT_GT(uses.size(), 100u);
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> places;
    for (const Use& use : uses) {
        ASSERT_TRUE(sharedNumbers.count(use.unit)) << "unknown unit " << use.unit << " in " << use.file;
        places[{use.unit, use.number}].push_back(use.file);
    }
    for (const auto& [key, files] : places) {
        const auto& [unit, number] = key;
        if (sharedNumbers.at(unit).count(number)) continue;
        EXPECT_EQ(files.size(), 1u) << "unit " << unit << " reports " << number << " from " << files.size()
                                    << " checks, e.g. " << files.front();
    }
}

#endif
