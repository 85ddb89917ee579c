#include "HerdSummary.h"

#include "skin/SkinFileLoading.h"
#include "foundation/Exception.h"
#include "skin/Skin.h"

#include <ostream>

HerdScene::SkinFileLoader viewerSkinLoader()
{
    return loadSkinFileByName;
}

nlohmann::ordered_json describeHerdFile(const std::string& path)
{
    auto errorReport = [&](const std::string& caption, const std::string& message) {
        return nlohmann::ordered_json{{"file", path}, {"error", {{"caption", caption}, {"message", message}}}};
    };
    HerdScene scene;
    try {
        if (const auto failure = scene.loadHerd(path, viewerSkinLoader()))
            return errorReport(failure->caption, failure->message);
    } catch (const Exception& e) {
        return errorReport(HerdScene::kLoadHerdCaption, e.message());
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
