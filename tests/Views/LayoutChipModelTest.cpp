#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "LayoutFixture.h"
#include "Views/MenuBarLayoutItemModel.h"

namespace vimbo::testing {
namespace {

struct WidthCase {
  const char* windowName;
  double frameWidth;
  double slot;
  double chip;
};

class ChipWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(ChipWidthTest, SlotIsFrameWidthClampedToTheChipRangeAndChipIs14Wider) {
  const auto& c = GetParam();
  auto item = layoutItem(1, c.windowName, "x", c.frameWidth, false);
  auto metrics = layoutChipMetrics(item);
  EXPECT_EQ(metrics.slotWidth, c.slot);
  EXPECT_EQ(metrics.chipWidth, c.chip);
}

constexpr double inf = std::numeric_limits<double>::infinity();
INSTANTIATE_TEST_SUITE_P(Boundaries, ChipWidthTest,
                         ::testing::Values(WidthCase{"Item-0", 28, 28, 42}, WidthCase{"Item-0", 28.5, 28.5, 42.5},
                                           WidthCase{"Item-0", 1, 28, 42}, WidthCase{"Item-0", 76, 76, 90},
                                           WidthCase{"Item-0", 76.5, 76, 90}, WidthCase{"Item-0", 200, 76, 90},
                                           WidthCase{"Item-0", 0, 32, 46}, WidthCase{"Item-0", -3, 32, 46},
                                           WidthCase{"Item-0", inf, 32, 46},
                                           WidthCase{"Item-0", std::nan(""), 32, 46},
                                           // The clock is sized by its name, Control Center by its frame.
                                           WidthCase{"Clock", 120, 32, 46}, WidthCase{"BentoBox-0", 40, 40, 54}));

struct NameCase {
  const char* windowName;
  const char* name;
  const char* helpName;
};

class ChipHelpNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ChipHelpNameTest, TrimmedMeaningfulNameElseANameForTheWindow) {
  const auto& c = GetParam();
  EXPECT_EQ(layoutChipHelpName(layoutItem(1, c.windowName, c.name, 20, false)), c.helpName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ChipHelpNameTest,
    ::testing::Values(NameCase{"Item-0", " 番茄钟 \n", "番茄钟"}, NameCase{"Clock", "Item-0", "时钟"},
                      NameCase{"Item-0", "owner:foo", "菜单栏项目"}, NameCase{"BentoBox-0", "x|window=y", "控制中心"},
                      NameCase{"Item-0", " \t\n", "菜单栏项目"}, NameCase{"Item-1", "", "菜单栏项目"},
                      // Only a leading "owner:" counts.
                      NameCase{"Item-0", "the owner: x", "the owner: x"}));

TEST(ChipRulesTest, OnlyFixedItemsCarryTheFixedHintAndARefusal) {
  auto control = layoutItem(12, "BentoBox-0", "控制中心", 40, false);
  auto clock = layoutItem(11, "Clock", "时钟", 40, false);
  auto tomato = layoutItem(21, "Item-0", "番茄钟", 30, false);
  EXPECT_EQ(layoutChipAccessibilityHint(control), "由 macOS 固定");
  EXPECT_EQ(layoutChipAccessibilityHint(tomato), "可拖动以调整位置");
  EXPECT_EQ(fixedItemRefusal(clock), "时钟由 macOS 固定，无法收纳");
  EXPECT_EQ(fixedItemRefusal(control), "控制中心由 macOS 固定，无法收纳");
  EXPECT_EQ(fixedItemRefusal(tomato), std::nullopt);
  // A look-alike window name is not fixed.
  EXPECT_EQ(fixedItemRefusal(layoutItem(13, "clock", "x", 40, false)), std::nullopt);
}

struct PayloadCase {
  const char* text;
  std::optional<std::uint32_t> value;
};

class DropPayloadTest : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(DropPayloadTest, OnlyASignedRunOfAsciiDigitsWithinUInt32Parses) {
  EXPECT_EQ(parseLayoutDropPayload(GetParam().text), GetParam().value) << "payload: \"" << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, DropPayloadTest,
    ::testing::Values(PayloadCase{"21", 21}, PayloadCase{"+21", 21}, PayloadCase{"021", 21},
                      PayloadCase{"4294967295", 4294967295u}, PayloadCase{"-0", 0}, PayloadCase{"+0", 0},
                      PayloadCase{"4294967296", std::nullopt}, PayloadCase{"99999999999999999999", std::nullopt},
                      PayloadCase{"-1", std::nullopt}, PayloadCase{"", std::nullopt}, PayloadCase{"+", std::nullopt},
                      PayloadCase{"-", std::nullopt}, PayloadCase{" 21", std::nullopt},
                      PayloadCase{"21 ", std::nullopt}, PayloadCase{"2 1", std::nullopt},
                      PayloadCase{"1.0", std::nullopt}, PayloadCase{"abc", std::nullopt},
                      PayloadCase{"+-1", std::nullopt}, PayloadCase{"0x15", std::nullopt},
                      PayloadCase{"２１", std::nullopt}));

}  // namespace
}  // namespace vimbo::testing
