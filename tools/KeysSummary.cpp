#include "KeysSummary.h"

#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"

#include <memory>
#include <ostream>

namespace {

// The captions the viewer shows: a read error inside the file under its own caption, any other
// failure under the "Load camera animation" command's.
constexpr const char* kReadCaption = "Error reading camera keys";
constexpr const char* kLoadCaption = "Error loading camera keys";

// The eleven attributes the viewer reads a keys file into: the perspective camera's, then the
// orthographic camera's.
std::vector<std::shared_ptr<AttributeWithKeys>> viewerAttributes()
{
    // Shared, so that the keyables (which point into the cameras) keep their cameras alive.
    const std::shared_ptr<Camera> perspective = std::make_shared<ProjectiveFixedYCamera>(false);
    const std::shared_ptr<Camera> ortho = std::make_shared<OrthoCamera>();
    std::vector<std::shared_ptr<AttributeWithKeys>> attributes;
    for (const std::shared_ptr<Camera>& camera : {perspective, ortho})
        for (const auto& keyable : camera->keyables())
            attributes.push_back(std::make_shared<AttributeWithKeys>(keyable));
    return attributes;
}

// The records in file order, as the viewer's reader hands them over.
nlohmann::ordered_json records(const std::string& path)
{
    nlohmann::ordered_json result = nlohmann::ordered_json::array();
    for (const CameraKeysRecord& record : readCameraKeysRecords(path)) {
        nlohmann::ordered_json first = nullptr;
        nlohmann::ordered_json last = nullptr;
        if (!record.keys.empty()) {
            first = record.keys.front().frame;
            last = record.keys.back().frame;
        }
        result.push_back({{"name", record.name}, {"keys", record.keys.size()}, {"first", first}, {"last", last}});
    }
    return result;
}

} // namespace

nlohmann::ordered_json describeKeysFile(const std::string& path)
{
    const auto errorReport = [&](const std::string& caption, const std::string& message) {
        return nlohmann::ordered_json{{"file", path}, {"error", {{"caption", caption}, {"message", message}}}};
    };
    try {
        loadCameraKeys(path, viewerAttributes());
        return {{"file", path}, {"records", records(path)}};
    } catch (const CameraKeysReadError& e) {
        return errorReport(kReadCaption, e.message());
    } catch (const Exception& e) {
        return errorReport(kLoadCaption, e.message());
    }
}

void printKeysReport(std::ostream& out, const nlohmann::ordered_json& report)
{
    const auto& list = report["records"];
    if (list.empty()) out << "  no records\n";
    for (const auto& record : list) {
        const int keys = record["keys"].get<int>();
        out << "  '" << record["name"].get<std::string>() << "': " << keys << (keys == 1 ? " key" : " keys");
        if (keys > 0) out << ", frames " << record["first"] << " to " << record["last"];
        out << '\n';
    }
}
