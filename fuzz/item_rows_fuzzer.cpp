// The stored item rows: any text decodes to nothing or to rows that encode and decode back to
// the same rows.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "Models/MenuBarItem.h"

using vimbo::MenuBarItem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto rows = MenuBarItem::decodeList(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!rows) return 0;
  auto text = MenuBarItem::encodeList(*rows);
  FUZZ_CHECK(text);
  auto again = MenuBarItem::decodeList(*text);
  FUZZ_CHECK(again && *again == *rows);
  return 0;
}
