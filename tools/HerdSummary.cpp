#include "HerdSummary.h"

#include "foundation/Exception.h"
#include "herd/HerdFile.h"
#include "herd/HerdScene.h"
#include "skin/Skin.h"
#include "skin/SkinFileLoading.h"

#include <ostream>

HerdFile::SkinFileLoader viewerSkinLoader()
{
    return loadSkinFileByName;
}

nlohmann::ordered_json describeHerdFile(const std::string& path)
{
    auto errorReport = [&](const std::string& caption, const std::string& message) {
        return nlohmann::ordered_json{{"file", path}, {"error", {{"caption", caption}, {"message", message}}}};
    };
    // The captions the viewer shows: the herd file's own faults under the "Load herd"
    // command's, a skin file it names under the skin loader's.
    HerdScene scene;
    try {
        HerdFile::load(scene, path, viewerSkinLoader());
    } catch (const HerdFileException& e) {
        return errorReport("Error reading herd", e.message());
    } catch (const CreationException& e) {
        return errorReport("Error reading skin", e.message());
    } catch (const Exception& e) {
        return errorReport("Error reading file", e.message());
    }
    nlohmann::ordered_json herds = nlohmann::ordered_json::array();
    for (const auto& herd : scene.herds())
        herds.push_back({{"skin", herd->skin()->fileName()},
                         {"levels", herd->levelCount()},
                         {"instances", herd->instanceCount()}});
    return {{"file", path}, {"herds", herds}};
}

void printHerdReport(std::ostream& out, const nlohmann::ordered_json& report)
{
    const auto& herds = report["herds"];
    if (herds.empty()) out << "  no herds\n";
    for (std::size_t i = 0; i < herds.size(); ++i) {
        const auto& herd = herds[i];
        const unsigned instances = herd["instances"].get<unsigned>();
        out << "  herd " << i << ": skin '" << herd["skin"].get<std::string>() << "', " << herd["levels"]
            << (herd["levels"].get<unsigned>() == 1 ? " level, " : " levels, ") << instances
            << (instances == 1 ? " instance\n" : " instances\n");
    }
}
