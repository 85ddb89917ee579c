#pragma once

#include <string>

// The credits the about box shows: the program's name and version, its authors, where to read
// more, then one block per library whose code this build contains or links, then the
// warranty disclaimer. Only libraries the viewer really links are named.
std::string aboutText();
