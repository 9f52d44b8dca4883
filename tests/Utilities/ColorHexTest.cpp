#include <gtest/gtest.h>

#include "Utilities/ColorHex.h"
#include "Utilities/UUID.h"

using namespace vimbo;

TEST(ColorHex, ScansLikeTheHexScanner) {
  const Color red{1, 0, 0, 1};
  const Color black{0, 0, 0, 1};
  EXPECT_EQ(Color::fromHex("FF0000"), red);
  EXPECT_EQ(Color::fromHex("1FF0000"), red);  // only the low 24 bits count
  EXPECT_EQ(Color::fromHex(" \n0xff0000"), red);
  EXPECT_EQ(Color::fromHex("\u3000FF0000"), red);  // Unicode white space is skipped too
  EXPECT_EQ(Color::fromHex("#FF0000"), black);
  EXPECT_EQ(Color::fromHex(""), black);
  EXPECT_EQ(Color::fromHex("0x"), black);
  EXPECT_EQ(Color::fromHex("00FF00zz"), (Color{0, 1, 0, 1}));
  const Color c = Color::fromHex("5B8DEF");
  EXPECT_DOUBLE_EQ(c.red, 0x5B / 255.0);
  EXPECT_DOUBLE_EQ(c.green, 0x8D / 255.0);
  EXPECT_DOUBLE_EQ(c.blue, 0xEF / 255.0);
}

TEST(UUIDForm, StringRoundTripAndValidation) {
  const UUID a, b;
  EXPECT_NE(a, b);
  const auto text = a.uuidString();
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[14], '4');  // version 4
  EXPECT_EQ(UUID::fromString(text), a);
  auto lower = UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_FALSE(UUID::fromString("E621E1F8C36C-495A-93FC-0C247A3E6E5F0"));
  EXPECT_FALSE(UUID::fromString("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
  EXPECT_FALSE(UUID::fromString(""));
}
