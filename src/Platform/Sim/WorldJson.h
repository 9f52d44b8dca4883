#pragma once
// Worlds as data: a world (screens, applications, items, pictures, switches) read from JSON.
// A file that does not parse, or names a key or value the loader does not know, gives an error
// naming the file and the place; nothing throws out of these calls.

#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "Platform/Sim/Model.h"

namespace vimbo::sim {

struct WorldError {
  std::string message;  // "<file>: <place>: <what>"
};

using WorldLoad = std::variant<WorldSpec, WorldError>;

WorldLoad parseWorld(const std::string& json, const std::string& fileName = "<memory>");
WorldLoad loadWorld(const std::filesystem::path& file);
std::string worldToJson(const WorldSpec& world);

// The folder of shipped worlds (the source tree's worlds/), for tests and tools.
std::filesystem::path shippedWorldsFolder();

}  // namespace vimbo::sim
