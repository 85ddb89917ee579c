#include "KeysSummary.h"

#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>

namespace {

// The viewer's "Load camera animation" caption for exceptions the reader raises.
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

std::int32_t readInt32(std::istream& in)
{
    unsigned char bytes[4] = {};
    in.read(reinterpret_cast<char*>(bytes), 4);
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
        (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24));
}

// Walks the records of a file the viewer's reader has accepted, so every field is there.
nlohmann::ordered_json records(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    nlohmann::ordered_json result = nlohmann::ordered_json::array();
    const std::int32_t count = readInt32(in);
    for (std::int32_t r = 0; r < count && in; ++r) {
        const std::int32_t nameLength = readInt32(in);
        std::string name(static_cast<std::size_t>(std::max(nameLength, 0)), '\0');
        in.read(name.data(), static_cast<std::streamsize>(name.size()));
        const std::int32_t keys = readInt32(in);
        nlohmann::ordered_json first = nullptr;
        nlohmann::ordered_json last = nullptr;
        for (std::int32_t k = 0; k < keys && in; ++k) {
            const std::int32_t frame = readInt32(in);
            readInt32(in); // the value
            if (k == 0) first = frame;
            last = frame;
        }
        if (!in) break;
        result.push_back({{"name", name}, {"keys", keys}, {"first", first}, {"last", last}});
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
        if (const auto failure = loadCameraKeys(path, viewerAttributes()))
            return errorReport(failure->caption, failure->message);
    } catch (const Exception& e) {
        return errorReport(kLoadCaption, e.message());
    }
    return {{"file", path}, {"records", records(path)}};
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
