#pragma once

#include "herd/SimpleHerd.h"

#include <memory>

class Skin;

// Benchmark herds: n animals of one skin on a square grid centred on the origin, each at its
// own frame (i modulo the frame count), so every frame of the walk is on screen at once.

// Distance between grid neighbours: 1.3 times the skin's largest box extent, so animals never
// touch and the herd's size follows the animal's.
float gridSpacing(const Skin& skin);

std::shared_ptr<SimpleHerd> makeGridHerd(const std::shared_ptr<Skin>& skin, unsigned n);
