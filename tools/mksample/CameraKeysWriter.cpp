#include "CameraKeysWriter.h"

#include "foundation/AtomicFile.h"

std::string cameraKeysBytes(const std::vector<CameraKeyTrack>& tracks)
{
    return encodeCameraKeys(tracks);
}

void writeCameraKeys(const std::filesystem::path& path, const std::vector<CameraKeyTrack>& tracks)
{
    writeFileAtomically(path, cameraKeysBytes(tracks));
}

std::vector<CameraKeyTrack> herdFlyby(int frames)
{
    // Seven stations of the flight; the viewer passes a natural cubic spline through them.
    constexpr int kStations = 7;
    const float azimuth[kStations] = {0.8f, 1.4f, 2.0f, 2.6f, 3.2f, 3.8f, 4.3f};
    const float elevation[kStations] = {0.55f, 0.46f, 0.37f, 0.28f, 0.2f, 0.13f, 0.1f};
    const float dolly[kStations] = {-75.0f, -58.0f, -44.0f, -32.0f, -22.0f, -15.0f, -11.0f};
    const float lookX[kStations] = {0.0f, 2.0f, 4.0f, 3.0f, 1.0f, -2.0f, -3.0f};
    const float lookY[kStations] = {1.0f, 1.0f, 1.1f, 1.2f, 1.3f, 1.4f, 1.4f};
    const float lookZ[kStations] = {0.0f, -3.0f, -4.0f, -2.0f, 1.0f, 3.0f, 2.0f};
    const std::pair<const char*, const float*> tracks[] = {{"azimuth", azimuth}, {"elevation", elevation},
                                                           {"dolly", dolly},     {"lookAt.x", lookX},
                                                           {"lookAt.y", lookY},  {"lookAt.z", lookZ}};
    std::vector<CameraKeyTrack> result;
    for (const auto& [name, values] : tracks) {
        CameraKeyTrack track{name, {}};
        for (int k = 0; k < kStations; ++k) track.keys.push_back({frames * k / (kStations - 1), values[k]});
        result.push_back(std::move(track));
    }
    return result;
}
