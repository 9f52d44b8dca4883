#pragma once
// Raw bytes, as stored in the defaults domain and produced by image encoding.

#include <cstdint>
#include <vector>

namespace vimbo::platform {
using Data = std::vector<std::uint8_t>;
}  // namespace vimbo::platform
