// The layers of src/: a folder includes only from its own layer or the ones
// below it, and no two units (a file name without its extension: foo.h with
// foo.cpp) include each other, however far round. What two units share goes
// into a third below both.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

// It reads the source tree, which only the native build sees.
#ifndef _WIN32

namespace {

// Each folder of src/ and its layer, lowest first.
const std::map<std::string, int> layers = {
    {"common", 1},
    {"startfold", 1},
    {"resources", 1},
    {"store", 2},
    {"central", 3},
    {"dates", 3},
    {"monitor", 4},
    {"about", 4},
    {"service", 5},
    {"shell", 6},
};

struct SourceTree {
    std::vector<std::string> upward;                    // "file -> include"
    std::map<std::string, std::set<std::string>> edges; // unit -> units whose header it includes
};

SourceTree readSourceTree()
{
    const std::filesystem::path root = PW_SOURCE_DIR "/src";
    const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    SourceTree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() != ".cpp" && path.extension() != ".h") continue;
        const std::filesystem::path relative = path.lexically_relative(root);
        const std::string folder = relative.begin()->string();
        const std::string unit = (relative.parent_path() / relative.stem()).generic_string();
        std::ifstream file(path);
        for (std::string line; std::getline(file, line);) {
            std::smatch match;
            if (!std::regex_search(line, match, include)) continue;
            const std::string target = match[1];
            const auto slash = target.find('/');
            if (slash == std::string::npos) continue; // a header beside it, or a system one
            const std::string targetFolder = target.substr(0, slash);
            if (layers.count(targetFolder) && layers.count(folder)
                && layers.at(targetFolder) > layers.at(folder))
                tree.upward.push_back(relative.generic_string() + " -> " + target);
            const std::string targetUnit = std::filesystem::path(target).replace_extension().generic_string();
            if (targetUnit != unit && std::filesystem::exists(root / (targetUnit + ".h")))
                tree.edges[unit].insert(targetUnit);
        }
    }
    return tree;
}

// A circle through `from`, as "a -> b -> a", or empty when there is none.
std::string circleThrough(const SourceTree& tree, const std::string& from)
{
    std::vector<std::string> path{from};
    std::set<std::string> seen{from};
    std::function<std::string(const std::string&)> walk = [&](const std::string& unit) -> std::string {
        auto edges = tree.edges.find(unit);
        if (edges == tree.edges.end()) return {};
        for (const std::string& next : edges->second) {
            if (next == from) {
                std::string text;
                for (const std::string& step : path) text += step + " -> ";
                return text + from;
            }
            if (!seen.insert(next).second) continue;
            path.push_back(next);
            if (std::string found = walk(next); !found.empty()) return found;
            path.pop_back();
        }
        return {};
    };
    return walk(from);
}

} // namespace

TEST(SourceLayers, NoFolderIncludesFromALayerAboveIt)
{
    const SourceTree tree = readSourceTree();
    ASSERT_GT(tree.edges.size(), 50u); // the tree was read
    EXPECT_TRUE(tree.upward.empty()) << tree.upward.size() << " upward, e.g. " << tree.upward.front();
}

TEST(SourceLayers, NoUnitsIncludeEachOtherHoweverFarRound)
{
    const SourceTree tree = readSourceTree();
    for (const auto& [unit, targets] : tree.edges) EXPECT_EQ(circleThrough(tree, unit), "") << unit;
}

#endif
