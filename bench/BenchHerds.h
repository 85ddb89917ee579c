#pragma once

#include "herd/SimpleHerd.h"

#include <memory>
#include <string>

class Skin;

// Benchmark herds: n animals of one skin on a square grid centred on the origin, each at its
// own frame (i modulo the frame count), so every frame of the walk is on screen at once.

// Distance between grid neighbours: 1.3 times the skin's largest box extent, so animals never
// touch and the herd's size follows the animal's.
float gridSpacing(const Skin& skin);

std::shared_ptr<SimpleHerd> makeGridHerd(const std::shared_ptr<Skin>& skin, unsigned n);

// The benchmarks' animal: the sample quadruped when the sample generator can make one (and
// FLEXHERD_BENCH_FIXTURE is not set), else a sphere of 5,000 triangles with 40 frames and a PRT
// basis, with a plain grey texture when `textured`. Made once per process, in a scratch
// directory named after `scratchPrefix` and the process id; removeBenchAnimalScratch() clears it.
struct BenchAnimal {
    std::shared_ptr<Skin> skin;
    std::string directory;
    std::string description;
};
const BenchAnimal& benchAnimal(const std::string& scratchPrefix, bool textured);
void removeBenchAnimalScratch();
