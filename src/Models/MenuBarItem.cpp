#include "Models/MenuBarItem.h"

#include <limits>

#include <nlohmann/json.hpp>

namespace vimbo {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

const std::string* stringField(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return nullptr;
  return &it->get_ref<const std::string&>();
}

std::optional<MenuBarItem> decodeRow(const Json& row) {
  if (!row.is_object()) return std::nullopt;
  const auto* id = stringField(row, "id");
  const auto* name = stringField(row, "name");
  const auto* detail = stringField(row, "detail");
  const auto* symbol = stringField(row, "symbol");
  const auto* tintHex = stringField(row, "tintHex");
  const auto* visibility = stringField(row, "visibility");
  if (!id || !name || !detail || !symbol || !tintHex || !visibility) return std::nullopt;

  auto enabled = row.find("isEnabled");
  auto order = row.find("order");
  if (enabled == row.end() || !enabled->is_boolean()) return std::nullopt;
  if (order == row.end() || !order->is_number_integer()) return std::nullopt;
  if (order->is_number_unsigned() &&
      order->get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    return std::nullopt;
  }

  auto uuid = UUID::fromString(*id);
  auto group = itemVisibilityFromRawValue(*visibility);
  if (!uuid || !group) return std::nullopt;
  return MenuBarItem{*uuid, *name, *detail, *symbol, *tintHex, *group, enabled->get<bool>(), order->get<int64_t>()};
}

}  // namespace

std::string_view rawValue(ItemVisibility visibility) {
  switch (visibility) {
    case ItemVisibility::shown: return "shown";
    case ItemVisibility::tucked: return "tucked";
    case ItemVisibility::hidden: return "hidden";
  }
  return "shown";
}

std::optional<ItemVisibility> itemVisibilityFromRawValue(std::string_view raw) {
  for (auto visibility : allItemVisibilities) {
    if (rawValue(visibility) == raw) return visibility;
  }
  return std::nullopt;
}

std::optional<std::string> MenuBarItem::encodeList(const std::vector<MenuBarItem>& items) {
  OrderedJson list = OrderedJson::array();
  for (const auto& item : items) {
    OrderedJson row = OrderedJson::object();
    row["id"] = item.id.uuidString();
    row["name"] = item.name;
    row["detail"] = item.detail;
    row["symbol"] = item.symbol;
    row["tintHex"] = item.tintHex;
    row["visibility"] = std::string(rawValue(item.visibility));
    row["isEnabled"] = item.isEnabled;
    row["order"] = item.order;
    list.push_back(std::move(row));
  }
  try {
    return list.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // text that is not valid UTF-8
  }
}

std::optional<std::vector<MenuBarItem>> MenuBarItem::decodeList(std::string_view text) {
  const Json json = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!json.is_array()) return std::nullopt;
  std::vector<MenuBarItem> items;
  items.reserve(json.size());
  for (const auto& row : json) {
    auto item = decodeRow(row);
    if (!item) return std::nullopt;
    items.push_back(std::move(*item));
  }
  return items;
}

}  // namespace vimbo
