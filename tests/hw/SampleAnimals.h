#pragma once

// The generated sample animals (flexherd-mksample), made once per test process in a scratch
// directory that is removed at exit. Besides the files as generated there is a second
// directory whose textures are plain white, so that a hardware renderer made with it shows
// exactly the lighting the software renderer (which binds no texture) shows.

#include "skin/Skin.h"

#include <filesystem>
#include <memory>
#include <vector>

struct SampleAnimals {
    std::filesystem::path directory;
    std::filesystem::path whiteTextureDirectory;
    // Levels of detail, finest first.
    std::vector<std::shared_ptr<Skin>> quadruped;
    std::vector<std::shared_ptr<Skin>> longneck;
};

// Generates and loads the samples on the first call; throws std::runtime_error saying why
// when the generator cannot be run or its output cannot be read.
const SampleAnimals& sampleAnimals();

// The skin with only its first `vertex` displacement, `normal` normal and `prt` lighting basis
// vectors (and their coefficients), without its next skin: a sample animal whose every
// correction fits the generic attributes of a 16-attribute card at once, so that the hardware
// renderer can apply all of them, as the software renderer always does.
std::shared_ptr<Skin> withCorrections(const Skin& skin, unsigned vertex, unsigned normal, unsigned prt);
