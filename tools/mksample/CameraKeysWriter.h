#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// The keys of one camera attribute: (frame, value) pairs in frame order.
struct CameraKeyTrack {
    std::string name;
    std::vector<std::pair<int, float>> keys;
};

// A camera keys file: int32 record count, then per record the name (int32 length and bytes)
// and the keys (int32 count, then int32 frame and float32 value each), little-endian.
std::string cameraKeysBytes(const std::vector<CameraKeyTrack>& tracks);
// Written atomically; throws IOException on failure.
void writeCameraKeys(const std::filesystem::path& path, const std::vector<CameraKeyTrack>& tracks);

// A flight of the perspective camera over `frames` frames for herds scattered around the
// origin: it starts high and far out, circles about three quarters of the way round while
// descending and closing in, and ends low among the animals. Keys every `frames / 6` frames
// for azimuth and elevation (radians), dolly (signed eye distance, negative so that a positive
// elevation puts the eye above the look-at point) and the look-at point (metres).
std::vector<CameraKeyTrack> herdFlyby(int frames);
