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
  // "<file>: <place>: <what>"; for a file that is not JSON, a short Chinese sentence with the
  // line and column ("<file>: 第 1 行第 1 列不是有效的 JSON。").
  std::string message;
  std::string parserDetail;  // the JSON parser's own words, for stderr only
};

using WorldLoad = std::variant<WorldSpec, WorldError>;

WorldLoad parseWorld(const std::string& json, const std::string& fileName = "<memory>");
WorldLoad loadWorld(const std::filesystem::path& file);
std::string worldToJson(const WorldSpec& world);

// The folder of shipped worlds (the source tree's worlds/), for tests and tools.
std::filesystem::path shippedWorldsFolder();

}  // namespace vimbo::sim
