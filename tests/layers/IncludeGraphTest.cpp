// The source tree's layering, read from its #include lines: folders are layers and includes
// run downward only (foundation, mesh, skin, herd and camera, render, the GL layer and the
// viewer core, the application; the bakers and the video encoder beside them), tools use the
// libraries but neither the application nor the GL layer, no two files include each other
// round a loop, only the GL layer and the application see GL or wx, and only the GL layer
// calls GL.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = FLEXHERD_SOURCE_DIR;

// The layers each layer stands on directly; it may include its own files and those of every
// layer below it, directly or through others. Herd and camera stand side by side, and so do
// the GL layer and the viewer core: neither of a pair includes the other. The bakers (model
// import, corrections, lighting) stand on the skin model beside the viewer's libraries, and
// the video encoder on the foundation alone.
const std::map<std::string, std::set<std::string>> kStandsOn = {
    {"foundation", {}},
    {"mesh", {"foundation"}},
    {"skin", {"mesh"}},
    {"bake", {"skin"}},
    {"video", {"foundation"}},
    {"herd", {"skin"}},
    {"camera", {"foundation"}},
    {"render", {"herd", "camera"}},
    {"render/gl", {"render"}},
    {"viewer", {"render", "bake", "video"}},
    {"app", {"render/gl", "viewer"}},
    // Tools build on the libraries, never on the application or the GL layer.
    {"tools", {"render", "bake", "video"}},
};

// Every layer below `layer`, through any number of steps.
std::set<std::string> layersBelow(const std::string& layer)
{
    std::set<std::string> below;
    std::vector<std::string> open(kStandsOn.at(layer).begin(), kStandsOn.at(layer).end());
    while (!open.empty()) {
        const std::string next = open.back();
        open.pop_back();
        if (!below.insert(next).second) continue;
        for (const std::string& lower : kStandsOn.at(next)) open.push_back(lower);
    }
    return below;
}

struct SourceFile {
    fs::path path;        // relative to the root, e.g. src/app/GLView.cpp
    std::string layer;    // e.g. "app", "render/gl", "tools"
    std::string component; // layer and stem: a header and its source are one component
    std::string text;
};

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The layer of a path below src/ ("render/gl/X.h" -> "render/gl"), or "tools".
std::string layerOf(const fs::path& relative)
{
    auto part = relative.begin();
    if (*part == "tools") return "tools";
    ++part; // src
    const std::string first = part->string();
    ++part;
    if (first == "render" && part != relative.end() && *part == "gl" && std::next(part) != relative.end())
        return "render/gl";
    return first;
}

std::vector<SourceFile> sources()
{
    std::vector<SourceFile> files;
    for (const char* top : {"src", "tools"})
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / top)) {
            const fs::path& path = entry.path();
            if (!entry.is_regular_file() || (path.extension() != ".h" && path.extension() != ".cpp")) continue;
            SourceFile file;
            file.path = fs::relative(path, kRoot);
            file.layer = layerOf(file.path);
            file.component = (file.path.parent_path() / file.path.stem()).string();
            file.text = readAll(path);
            files.push_back(std::move(file));
        }
    return files;
}

// The project headers a file includes with quotes and a folder ("render/gl/GLState.h").
std::vector<std::string> projectIncludes(const std::string& text)
{
    static const std::regex include(R"re(^\s*#\s*include\s*"([a-z]+(/[a-z]+)*/[A-Za-z0-9_]+\.h)")re");
    std::vector<std::string> found;
    std::istringstream lines(text);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line))
        if (std::regex_search(line, match, include)) found.push_back(match[1]);
    return found;
}

// The system headers a file includes with angle brackets.
std::vector<std::string> systemIncludes(const std::string& text)
{
    static const std::regex include(R"re(^\s*#\s*include\s*<([^>]+)>)re");
    std::vector<std::string> found;
    std::istringstream lines(text);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line))
        if (std::regex_search(line, match, include)) found.push_back(match[1]);
    return found;
}

std::string layerOfHeader(const std::string& include)
{
    return layerOf(fs::path("src") / include);
}

} // namespace

TEST(IncludeGraph, TheLayersStandOnEachOtherWithoutALoop)
{
    // The table itself: no layer below itself, and the order the README gives.
    for (const auto& [layer, lower] : kStandsOn) EXPECT_FALSE(layersBelow(layer).count(layer)) << layer;
    EXPECT_EQ(layersBelow("herd"), (std::set<std::string>{"skin", "mesh", "foundation"}));
    EXPECT_FALSE(layersBelow("herd").count("camera"));
    EXPECT_FALSE(layersBelow("camera").count("herd"));
    EXPECT_FALSE(layersBelow("viewer").count("render/gl"));
    EXPECT_FALSE(layersBelow("render/gl").count("viewer"));
    EXPECT_FALSE(layersBelow("render").count("bake"));
    EXPECT_EQ(layersBelow("video"), std::set<std::string>{"foundation"});
    for (const char* above : {"app", "render/gl"}) EXPECT_FALSE(layersBelow("tools").count(above)) << above;
}

TEST(IncludeGraph, IncludesRunDownwardOnly)
{
    const std::vector<SourceFile> files = sources();
    ASSERT_GT(files.size(), 100u) << "the tree was not found at " << kRoot;
    std::vector<std::string> wrong;
    for (const SourceFile& file : files) {
        ASSERT_TRUE(kStandsOn.count(file.layer)) << "unknown folder " << file.layer << " of " << file.path;
        const std::set<std::string> below = layersBelow(file.layer);
        for (const std::string& include : projectIncludes(file.text)) {
            const std::string layer = layerOfHeader(include);
            if (!kStandsOn.count(layer)) {
                wrong.push_back(file.path.string() + " includes " + include + " of no known layer");
                continue;
            }
            if (layer != file.layer && !below.count(layer)) wrong.push_back(file.path.string() + " includes " + include);
        }
    }
    EXPECT_TRUE(wrong.empty()) << [&] {
        std::string list;
        for (const std::string& w : wrong) list += "\n  " + w;
        return list;
    }();
}

TEST(IncludeGraph, NoComponentsIncludeEachOtherRoundALoop)
{
    const std::vector<SourceFile> files = sources();
    // Components are a header and its sources; an edge for every project include.
    std::map<std::string, std::set<std::string>> edges;
    std::set<std::string> components;
    for (const SourceFile& file : files) components.insert(file.component);
    for (const SourceFile& file : files)
        for (const std::string& include : projectIncludes(file.text)) {
            const std::string target = (fs::path("src") / fs::path(include).parent_path() / fs::path(include).stem()).string();
            if (target != file.component && components.count(target)) edges[file.component].insert(target);
        }
    // Depth-first search with the path on the stack; a back edge closes a loop.
    std::map<std::string, int> state; // 0 unseen, 1 on the path, 2 done
    std::vector<std::string> path;
    std::vector<std::string> loops;
    std::function<void(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        for (const std::string& next : edges[node]) {
            if (state[next] == 1) {
                std::string loop;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it) loop += *it + " -> ";
                loops.push_back(loop + next);
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[node] = 2;
    };
    for (const std::string& component : components)
        if (state[component] == 0) visit(component);
    EXPECT_TRUE(loops.empty()) << [&] {
        std::string list;
        for (const std::string& loop : loops) list += "\n  " + loop;
        return list;
    }();
}

TEST(IncludeGraph, OnlyTheGLLayerAndTheApplicationSeeGLOrWxAndOnlyTheGLLayerCallsGL)
{
    // GL's entry points (glEnable, gluSphere, glutBitmapCharacter); glContext is the
    // application's own accessor of its context.
    static const std::regex glCall(R"(\b(gl|glu|glut)(?!Context\b)[A-Z]\w*\s*\()");
    std::vector<std::string> wrong;
    for (const SourceFile& file : sources()) {
        const bool glLayer = file.layer == "render/gl";
        const bool windowLayer = file.layer == "app";
        for (const std::string& include : systemIncludes(file.text)) {
            const bool gl = include.rfind("GL/", 0) == 0 || include.rfind("EGL/", 0) == 0;
            const bool wx = include.rfind("wx/", 0) == 0;
            if ((gl || wx) && !glLayer && !windowLayer) wrong.push_back(file.path.string() + " includes <" + include + ">");
            if (wx && glLayer) wrong.push_back(file.path.string() + " (the GL layer) includes <" + include + ">");
        }
        // The canvas sets its context up with GLEW (glew...), which is no GL call of drawing.
        if (!glLayer && std::regex_search(file.text, glCall)) wrong.push_back(file.path.string() + " calls GL");
    }
    EXPECT_TRUE(wrong.empty()) << [&] {
        std::string list;
        for (const std::string& w : wrong) list += "\n  " + w;
        return list;
    }();
}
