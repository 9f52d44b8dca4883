// Text that cannot be written as JSON (not UTF-8) fails only its own record: what was stored
// before stays, and the failure is said once on stderr instead of being silent.

#include "Platform/Foundation/Diagnostics.h"
#include "StoreFixture.h"

using namespace vimbo;
using vimbo::testing::StoreTest;

namespace {

CapturedMenuBarItem capturedItem(std::uint32_t id, std::string identity) {
  CapturedMenuBarItem i;
  i.id = id;
  i.stableIdentity = std::move(identity);
  i.name = "App";
  i.windowName = "Item-0";
  i.ownerBundleIdentifier = "com.a";
  return i;
}

class UnencodableText : public StoreTest {
 protected:
  void SetUp() override { platform::forgetReportsForTesting(); }
  std::size_t count(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
  }
};

TEST_F(UnencodableText, ALayoutThatCannotBeEncodedKeepsTheStoredRecordAndSaysSoOnce) {
  auto store = makeStore();
  const std::string good = "com.a|window=Item-0|ax=title:Good";
  store->replaceCapturedSystemItems({capturedItem(1, good)});
  ASSERT_TRUE(store->commitLayoutMovement(1, MenuBarLayoutZone::collected, std::nullopt, true));
  const auto before = storedText(MenuBarStore::layoutKey);
  ASSERT_TRUE(before);

  ::testing::internal::CaptureStderr();
  store->replaceCapturedSystemItems({capturedItem(1, good), capturedItem(2, "com.a|window=Item-0|ax=title:\xff")});
  EXPECT_TRUE(store->commitLayoutMovement(2, MenuBarLayoutZone::hidden, std::nullopt, true));
  EXPECT_TRUE(store->commitLayoutMovement(1, MenuBarLayoutZone::visible, std::nullopt, true));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(storedText(MenuBarStore::layoutKey), before);
  EXPECT_EQ(count(said, "无法保存菜单栏布局"), 1u) << said;
}

TEST_F(UnencodableText, AnItemListThatCannotBeEncodedKeepsTheStoredListAndSaysSoOnce) {
  auto store = makeStore();
  auto rows = store->items.get();
  store->move(rows[0].id, ItemVisibility::hidden);
  const auto before = storedText(MenuBarStore::itemsKey);
  ASSERT_TRUE(before);

  rows = store->items.get();
  rows[1].detail = "\xc3";
  store->items.set(rows);
  ::testing::internal::CaptureStderr();
  store->move(rows[1].id, ItemVisibility::hidden);
  store->move(rows[2].id, ItemVisibility::hidden);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(storedText(MenuBarStore::itemsKey), before);
  EXPECT_EQ(count(said, "无法保存项目列表"), 1u) << said;
}

}  // namespace
