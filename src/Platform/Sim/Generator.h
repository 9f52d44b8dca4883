#pragma once
// Worlds of n third-party items (plus the fixed Clock and Control Center items), for tests and
// benchmarks. Deterministic: the same n gives the same world.

#include "Platform/Sim/Model.h"

namespace vimbo::sim {

struct GeneratorOptions {
  bool notch = true;          // a 1512 x 982 notched screen; else 1920 x 1080 plain
  int appCount = 8;           // items are spread over this many invented applications
  double minWidth = 26, maxWidth = 36;
};

WorldSpec generateWorld(int itemCount, GeneratorOptions options = {});

}  // namespace vimbo::sim
