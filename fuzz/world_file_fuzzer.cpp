// World files: any text loads as a world or as an error naming the place, never a crash; a
// loaded world can be written out again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "Platform/Sim/WorldJson.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto load = vimbo::sim::parseWorld(text, "fuzz.json");
  if (auto* error = std::get_if<vimbo::sim::WorldError>(&load)) {
    FUZZ_CHECK(error->message.starts_with("fuzz.json"));
    return 0;
  }
  (void)vimbo::sim::worldToJson(std::get<vimbo::sim::WorldSpec>(load));
  return 0;
}
