// The stored layout record: any text decodes to nothing or to a normalised record that encodes
// and decodes back to itself.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

#include "FuzzCheck.h"
#include "Models/MenuBarLayout.h"

using vimbo::MenuBarLayoutRecord;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto record = MenuBarLayoutRecord::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!record) return 0;
  std::set<std::string> seen;
  for (const auto& [zone, identities] : record->orderedIdentities) {
    for (const auto& identity : identities) {
      FUZZ_CHECK(!identity.empty());
      FUZZ_CHECK(seen.insert(identity).second);
    }
  }
  FUZZ_CHECK(record->orderedIdentities.size() == 3);
  auto text = record->encode();
  FUZZ_CHECK(text);
  auto again = MenuBarLayoutRecord::decode(*text);
  FUZZ_CHECK(again && *again == *record);
  return 0;
}
