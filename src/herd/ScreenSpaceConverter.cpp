#include "herd/ScreenSpaceConverter.h"

// Defined here so the interface's virtual table is emitted once, in this library.
ScreenSpaceConverter::~ScreenSpaceConverter() = default;
