#include <gtest/gtest.h>

#include "Platform/Platform.h"

using namespace vimbo::platform;

TEST(WindowInfo, MistypedAndMissingFieldsReadAsNone) {
  WindowInfo w;
  w.fields[windowkey::number] = int64_t{-1};
  w.fields[windowkey::layer] = 25.0;
  w.fields[windowkey::ownerPID] = std::string("12");
  w.fields[windowkey::bounds] = UnreadableBounds{};
  EXPECT_FALSE(w.number());
  EXPECT_EQ(w.layer(), 25);
  EXPECT_FALSE(w.ownerPID());
  EXPECT_FALSE(w.bounds());
  EXPECT_FALSE(w.name());
  w.fields[windowkey::layer] = 25.5;
  EXPECT_FALSE(w.layer());
  w.fields[windowkey::number] = int64_t{0x100000000LL};
  EXPECT_FALSE(w.number());
  w.fields[windowkey::isOnscreen] = int64_t{1};
  EXPECT_FALSE(w.isOnscreen());
}

TEST(HotKeyID, FourCharCode) { EXPECT_EQ(fourCharCode("VMBO"), 0x564D424Fu); }
