#pragma once
// A 128-bit universally unique identifier with the standard upper-case string form
// (8-4-4-4-12 hexadecimal digits), as the item rows store it.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vimbo {

class UUID {
 public:
  // A new random (version 4) identifier.
  UUID();
  explicit UUID(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

  // Accepts the 36-character form in either letter case; anything else gives none.
  static std::optional<UUID> fromString(std::string_view text);
  std::string uuidString() const;

  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
  friend bool operator==(const UUID&, const UUID&) = default;
  friend auto operator<=>(const UUID&, const UUID&) = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace vimbo

template <>
struct std::hash<vimbo::UUID> {
  std::size_t operator()(const vimbo::UUID& u) const noexcept {
    std::size_t h = 0;
    for (auto b : u.bytes()) h = h * 131 + b;
    return h;
  }
};
