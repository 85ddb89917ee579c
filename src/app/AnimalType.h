#pragma once

#include "skin/Skin.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// One kind of animal the view can show: the levels of detail read from one skin file, finest
// first, and the directory that file lives in (texture names are relative to it).
// Herds of this type are placed from it in a later milestone.
struct AnimalType {
    std::vector<std::shared_ptr<Skin>> levels;
    std::filesystem::path directory;

    // The finest level's record name, which names the type in menus and on screen.
    std::string name() const { return levels.empty() ? std::string() : levels.front()->name(); }
};
