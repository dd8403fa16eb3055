// The folders' layering, read from the sources themselves: every `#include "..."` of the tree is checked
// against the table of which layer may include which, and the folders must not include each other round
// in a cycle. The program's files (those cmake/program.cmake builds) form one program layer, whatever
// folder they sit in.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path ROOT = ORV_SOURCE_DIR;

// The layers from the bottom up, each with the layers it may include (its own always).
struct Layer {
    const char* name;
    std::set<std::string> mayInclude;
};

const std::set<std::string> CORE = {"base",     "files",    "tape",  "machine", "objfile",
                                    "settings", "debugger", "board", "control"};

// Tests, benchmarks and fuzz targets sit on top: nothing of the product includes them.
const std::set<std::string> EVERY = {"base",     "files", "tape",    "machine", "objfile", "settings",
                                     "debugger", "board", "control", "program", "runner",  "tools",
                                     "tests",    "bench", "fuzz",    "web"};

const std::vector<Layer> LAYERS = {
    {"base", {}},
    {"files", {"base"}},
    {"tape", {"base", "files"}},
    {"machine", {"base", "files", "tape"}},
    {"objfile", {"base", "files", "tape", "machine"}},
    {"settings", {"base", "files", "tape", "machine"}},
    {"debugger", {"base", "files", "tape", "machine"}},
    {"board", {"base", "files", "tape", "machine", "objfile"}},
    {"control", {"base", "files", "tape", "machine", "objfile", "settings", "debugger", "board"}},
    {"program", CORE},
    {"runner", CORE},
    // The monitor image that runner/run.h declares is built into the web edition too.
    {"web",
     {"base", "files", "tape", "machine", "objfile", "settings", "debugger", "board", "control", "runner"}},
    {"tools", {"base", "objfile"}}, // objfile/hex_record only, which includes nothing but base/
    {"tests", EVERY},
    {"bench", EVERY},
    {"fuzz", EVERY},
};

// Includes the table forbids that stay until the work that removes them is done.
struct Exception {
    const char* file;
    const char* header;
};
const std::vector<Exception> EXCEPTIONS = {};
// Cycles between folders that those exceptions close, as the sorted folders of each.
const std::set<std::set<std::string>> ALLOWED_CYCLES = {};

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The stems (folder/name) of the program's sources.
std::set<std::string> programStems() {
    const std::string text = readText(ROOT / "cmake/program.cmake");
    static const std::regex source(R"(\b([a-z_]+/[a-z_0-9]+)\.cpp\b)");
    std::set<std::string> stems;
    for (std::sregex_iterator it(text.begin(), text.end(), source), end; it != end; ++it)
        if (!(*it)[1].str().starts_with("tools/")) stems.insert((*it)[1].str());
    return stems;
}

struct Source {
    std::string path; // relative to the top folder
    std::string text;
};

struct Include {
    std::string file;
    std::string header; // relative to the top folder
};

// A file's layer: the program's files are the program's, the rest their top folder's.
std::string layerOf(const std::string& path, const std::set<std::string>& program) {
    const std::string stem = path.substr(0, path.rfind('.'));
    if (program.contains(stem)) return "program";
    return path.substr(0, path.find('/'));
}

// Each quoted include resolved to a file of the tree as the build finds it; generated headers, which
// are not in the tree, are left out.
std::vector<Include> includesOf(const std::vector<Source>& sources) {
    static const std::regex line(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<Include> out;
    for (const Source& source : sources) {
        std::istringstream in(source.text);
        for (std::string text; std::getline(in, text);) {
            std::smatch match;
            if (!std::regex_search(text, match, line)) continue;
            const fs::path folder = fs::path(source.path).parent_path();
            for (const fs::path& base : {ROOT / folder, ROOT, ROOT / "tests", ROOT / "fuzz"}) {
                const fs::path candidate = (base / match[1].str()).lexically_normal();
                if (!fs::is_regular_file(candidate)) continue;
                out.push_back({source.path, fs::relative(candidate, ROOT).generic_string()});
                break;
            }
        }
    }
    return out;
}

std::vector<Source> treeSources() {
    std::vector<Source> sources;
    for (auto it = fs::recursive_directory_iterator(ROOT); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        // Build folders hold generated sources that are no part of the tree.
        if (it->is_directory() && (name.starts_with(".") || name.starts_with("build") || name == "out" ||
                                   fs::exists(it->path() / "CMakeCache.txt"))) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string ext = it->path().extension().string();
        if (!it->is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
        sources.push_back({fs::relative(it->path(), ROOT).generic_string(), readText(it->path())});
    }
    std::ranges::sort(sources, {}, &Source::path);
    return sources;
}

// Every include the table forbids and no exception allows, one line each.
std::vector<std::string> forbiddenIncludes(const std::vector<Include>& includes,
                                           const std::set<std::string>& program) {
    std::map<std::string, const Layer*> layers;
    for (const Layer& layer : LAYERS) layers[layer.name] = &layer;
    std::vector<std::string> faults;
    for (const Include& include : includes) {
        const std::string from = layerOf(include.file, program), to = layerOf(include.header, program);
        if (!layers.contains(from)) {
            faults.push_back(include.file + ": the table has no layer " + from);
            continue;
        }
        if (from == to || layers[from]->mayInclude.contains(to)) continue;
        const bool excepted = std::ranges::any_of(EXCEPTIONS, [&](const Exception& e) {
            return include.file == e.file && include.header == e.header;
        });
        if (!excepted)
            faults.push_back(include.file + " includes " + include.header + ": " + from +
                             " may not include " + to);
    }
    return faults;
}

// The cycles between layers, as the folders of each strongly connected group of more than one.
std::vector<std::set<std::string>> folderCycles(const std::vector<Include>& includes,
                                                const std::set<std::string>& program) {
    std::map<std::string, std::set<std::string>> edges;
    for (const Include& include : includes) {
        const std::string from = layerOf(include.file, program), to = layerOf(include.header, program);
        if (from != to) edges[from].insert(to);
        edges[to];
    }
    auto reaches = [&](const std::string& from, const std::string& to) {
        std::set<std::string> seen{from};
        std::vector<std::string> work{from};
        while (!work.empty()) {
            const std::string at = work.back();
            work.pop_back();
            for (const std::string& next : edges[at]) {
                if (next == to) return true;
                if (seen.insert(next).second) work.push_back(next);
            }
        }
        return false;
    };
    std::vector<std::set<std::string>> cycles;
    std::set<std::string> placed;
    for (const auto& [folder, unused] : edges) {
        if (placed.contains(folder)) continue;
        std::set<std::string> group{folder};
        for (const auto& [other, unusedToo] : edges)
            if (other != folder && reaches(folder, other) && reaches(other, folder)) group.insert(other);
        placed.insert(group.begin(), group.end());
        if (group.size() > 1) cycles.push_back(group);
    }
    return cycles;
}

std::string joined(const std::set<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) text += (text.empty() ? "" : " ") + folder;
    return text;
}

TEST(Layering, EveryIncludeGoesDownTheTable) {
    const auto program = programStems();
    ASSERT_TRUE(program.contains("control/main_window")) << "cmake/program.cmake not read";
    const auto includes = includesOf(treeSources());
    ASSERT_GT(includes.size(), 100u) << "the tree's sources not found under " << ROOT;
    for (const std::string& fault : forbiddenIncludes(includes, program)) ADD_FAILURE() << fault;
}

TEST(Layering, NoFoldersIncludeEachOtherRound) {
    const auto program = programStems();
    for (const auto& cycle : folderCycles(includesOf(treeSources()), program))
        if (!ALLOWED_CYCLES.contains(cycle))
            ADD_FAILURE() << "folders include each other round: " << joined(cycle);
}

// Each exception still stands: one that the code no longer needs is taken out of the table.
TEST(Layering, NoExceptionOutlivesItsInclude) {
    const auto includes = includesOf(treeSources());
    for (const Exception& e : EXCEPTIONS) {
        const bool used = std::ranges::any_of(includes, [&](const Include& include) {
            return include.file == e.file && include.header == e.header;
        });
        EXPECT_TRUE(used) << e.file << " no longer includes " << e.header << ": drop the exception";
    }
}

// The checks themselves, on includes made up for them.
TEST(Layering, ChecksCatchWhatTheyAreFor) {
    const std::set<std::string> program = {"control/main_window"};
    struct Case {
        std::vector<Include> includes;
        std::size_t faults;
        std::size_t cycles;
    };
    const Case cases[] = {
        {{{"machine/bus.cpp", "base/trace.h"}}, 0, 0},
        {{{"base/trace.cpp", "machine/bus.h"}}, 1, 0},
        {{{"machine/bus.cpp", "control/main_window.h"}}, 1, 0},
        {{{"control/main_window.cpp", "machine/bus.h"}, {"control/run_state.cpp", "machine/bus.h"}}, 0, 0},
        {{{"newfolder/a.cpp", "base/trace.h"}}, 1, 0},
        {{{"machine/cpu.cpp", "control/run_state.h"}, {"control/run_state.cpp", "machine/bus.h"}}, 1, 1},
        {{{"tape/tape.cpp", "control/run_state.h"}, {"control/run_state.cpp", "tape/tape.h"}}, 1, 1},
    };
    for (const Case& c : cases) {
        const std::string first = c.includes.front().file + " -> " + c.includes.front().header;
        EXPECT_EQ(forbiddenIncludes(c.includes, program).size(), c.faults) << first;
        EXPECT_EQ(folderCycles(c.includes, program).size(), c.cycles) << first;
    }
}

} // namespace
