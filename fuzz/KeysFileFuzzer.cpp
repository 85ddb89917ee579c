// Feeds arbitrary bytes to the camera keys reader over the view's eleven attributes of both
// cameras, then does what the view does with loaded keys: evaluates every attribute across
// its key range. The reader's checks are what stand between a corrupt file and a huge
// allocation, an endless record loop or a spline through unordered keys.
#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto perspective = std::make_shared<ProjectiveFixedYCamera>();
    auto ortho = std::make_shared<OrthoCamera>();
    std::vector<std::shared_ptr<AttributeWithKeys>> attributes;
    for (const auto& keyable : perspective->keyables()) attributes.push_back(std::make_shared<AttributeWithKeys>(keyable));
    for (const auto& keyable : ortho->keyables()) attributes.push_back(std::make_shared<AttributeWithKeys>(keyable));

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        loadCameraKeys(in, size, "fuzz.keys", attributes);
    } catch (const IOException&) {
        // A read error, an empty or an unknown name: the records before it stay, as in the
        // viewer.
    }
    for (const auto& attribute : attributes) {
        const auto& keys = attribute->keys();
        if (keys.empty()) continue;
        const float first = keys.front().time;
        const float last = attribute->endTime();
        try {
            for (int step = -1; step <= 9; ++step) attribute->apply(first + (last - first) * float(step) / 8.0f);
        } catch (const LinearAlgebraException&) {
            // Reported to the user by the frame step; never a crash.
        }
    }
    // What saving them again would write.
    encodeCameraKeys(cameraKeysRecords(attributes));
    return 0;
}
