#pragma once

#include "camera/CameraKeysFile.h"

#include <filesystem>
#include <string>
#include <vector>

// The keys of one camera attribute: (frame, value) pairs in frame order.
using CameraKeyTrack = CameraKeysRecord;

// The camera keys file of the tracks, in the viewer's own encoding.
std::string cameraKeysBytes(const std::vector<CameraKeyTrack>& tracks);
// Written atomically; throws IOException on failure.
void writeCameraKeys(const std::filesystem::path& path, const std::vector<CameraKeyTrack>& tracks);

// A flight of the perspective camera over `frames` frames for herds scattered around the
// origin: it starts high and far out, circles about three quarters of the way round while
// descending and closing in, and ends low among the animals. Keys every `frames / 6` frames
// for azimuth and elevation (radians), dolly (signed eye distance, negative so that a positive
// elevation puts the eye above the look-at point) and the look-at point (metres).
std::vector<CameraKeyTrack> herdFlyby(int frames);
