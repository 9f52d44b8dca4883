// The defaults file: any bytes parse without crashing or recursing without bound, and whatever
// was read writes out as a file that reads back to the same bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "Platform/Foundation/UserDefaults.h"

using vimbo::platform::UserDefaults;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto contents = UserDefaults::parseFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!contents.parsed) {
    FUZZ_CHECK(contents.values.empty());
    return 0;
  }
  for (const auto& [key, value] : contents.values) FUZZ_CHECK(vimbo::platform::isWithinDefaultsDepth(value));
  // Keys and strings that are not UTF-8 are replaced on the first write, so compare from there.
  const std::string first = UserDefaults::fileBytes(contents.values);
  const auto reread = UserDefaults::parseFile(first);
  FUZZ_CHECK(reread.parsed && reread.complete);
  FUZZ_CHECK(reread.values.size() <= contents.values.size());
  const std::string second = UserDefaults::fileBytes(reread.values);
  FUZZ_CHECK(UserDefaults::fileBytes(UserDefaults::parseFile(second).values) == second);
  return 0;
}
