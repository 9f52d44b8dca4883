#include <limits>

#include "StoreFixture.h"

using namespace vimbo;
using vimbo::testing::StoreTest;

namespace {
std::vector<std::string> names(const std::vector<MenuBarItem>& rows) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.name);
  return out;
}
const MenuBarItem& row(const MenuBarStore& store, const UUID& id) {
  for (const auto& r : store.items.get()) {
    if (r.id == id) return r;
  }
  throw std::runtime_error("missing row");
}
}  // namespace

TEST(SampleItems, EightRowsCreatedOnce) {
  const auto& rows = MenuBarStore::sampleItems();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(names(rows), (std::vector<std::string>{"Wi-Fi", "声音", "电池", "专注模式", "AirDrop", "时间机器", "VPN", "蓝牙"}));
  EXPECT_EQ(rows[5].detail, "上次备份：今天 11:40");
  EXPECT_EQ(rows[6].symbol, "shield.lefthalf.filled");
  EXPECT_EQ(rows[7].tintHex, "3C8DFF");
  EXPECT_EQ(rows[3].visibility, ItemVisibility::tucked);
  EXPECT_EQ(rows[7].order, 1);
  std::set<UUID> ids;
  for (const auto& r : rows) {
    EXPECT_TRUE(r.isEnabled);
    ids.insert(r.id);
  }
  EXPECT_EQ(ids.size(), 8u);
  EXPECT_EQ(&MenuBarStore::sampleItems(), &rows);
}

TEST_F(StoreTest, FilteredItemsSortByOrderAndMatchWithoutTrimming) {
  auto store = makeStore();
  EXPECT_EQ(names(store->filteredItems()),
            (std::vector<std::string>{"Wi-Fi", "专注模式", "VPN", "声音", "AirDrop", "蓝牙", "电池", "时间机器"}));
  store->searchText.set("wi");
  EXPECT_EQ(names(store->filteredItems()), std::vector<std::string>{"Wi-Fi"});
  store->searchText.set("STUDIO");
  EXPECT_EQ(names(store->filteredItems()), std::vector<std::string>{"Wi-Fi"});
  store->searchText.set("VPN ");
  EXPECT_TRUE(store->filteredItems().empty());
}

TEST_F(StoreTest, MovingRowsRenumbersGroupsAndSaves) {
  auto store = makeStore();
  auto rows = store->items.get();
  const UUID wifi = rows[0].id, vpn = rows[6].id, bt = rows[7].id;
  store->move(wifi, ItemVisibility::shown);  // own group: last
  EXPECT_EQ(row(*store, wifi).order, 2);
  EXPECT_EQ(rows[1].order - 1, row(*store, rows[1].id).order);

  store->move(vpn, ItemVisibility::shown);
  store->move(bt, ItemVisibility::shown);  // hidden is empty now
  EXPECT_EQ(row(*store, bt).order, 4);
  EXPECT_EQ(MenuBarItem::decodeList(*storedText("menuBarItems.v1")), store->items.get());
  store->move(UUID(), ItemVisibility::hidden);  // unknown: nothing
  store->move(wifi, ItemVisibility::hidden);
  EXPECT_EQ(row(*store, wifi).order, 0);
}

TEST_F(StoreTest, HostileStoredOrdersDoNotOverflow) {
  constexpr auto top = std::numeric_limits<int64_t>::max();
  constexpr auto bottom = std::numeric_limits<int64_t>::min();
  const std::vector<MenuBarItem> rows{
      {UUID(), "a", "", "", "", ItemVisibility::shown, true, top},
      {UUID(), "b", "", "", "", ItemVisibility::shown, true, bottom},
      {UUID(), "c", "", "", "", ItemVisibility::hidden, true, 3},
  };
  storeText("menuBarItems.v1", *MenuBarItem::encodeList(rows));
  auto store = makeStore();
  store->move(rows[2].id, ItemVisibility::shown);
  EXPECT_EQ(row(*store, rows[1].id).order, 0);
  EXPECT_EQ(row(*store, rows[0].id).order, 1);  // ties with the moved row keep list order
  EXPECT_EQ(row(*store, rows[2].id).order, 2);
}
