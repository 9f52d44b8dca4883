// The icon beside a search result: which application's icon an item gets, in which order the
// workspace is asked, and that every answer is a new 26 x 26 picture.
#include <gtest/gtest.h>

#include "Support/PanelFixture.h"
#include "Views/ApplicationIcon.h"

using namespace vimbo;
using namespace vimbo::test_support;

namespace {

CapturedMenuBarItem item(std::string name, std::string owner, std::string bundle) {
  return capturedItem(5, "Item-0", std::move(name), std::move(owner), std::move(bundle), nullptr, false);
}

void expectIconSize(const ApplicationIcon& icon) {
  ASSERT_TRUE(icon.image);
  EXPECT_EQ(icon.image->pointSize(), (Size{26, 26}));
}

}  // namespace

TEST(ApplicationIcon, TheOnlyApplicationWithTheNameGivesItsIconAsANewPicture) {
  FakeWorkspace ws;
  auto own = solidImage(64, 64, 0xFF0000FF, false);
  ws.run("番茄钟", own);
  ApplicationIcon icon = applicationIcon(item("番茄钟", "Other Owner", "com.example.tomato"), ws);
  expectIconSize(icon);
  EXPECT_NE(icon.image, own);
  EXPECT_EQ(icon.image->pixels(), own->pixels());
  EXPECT_EQ(own->pointSize(), (Size{64, 64}));
  EXPECT_FALSE(icon.symbol);
}

TEST(ApplicationIcon, AnAmbiguousNameFallsToTheOwnerThenTheBundlesFileIcon) {
  FakeWorkspace ws;
  ws.run("番茄钟", solidImage(32, 32, 0xFF0000FF, false));
  ws.run("番茄钟", solidImage(32, 32, 0x00FF00FF, false));
  auto ownerIcon = solidImage(32, 32, 0x0000FFFF, false);
  ws.run("Tomato Timer", ownerIcon);
  ApplicationIcon byOwner = applicationIcon(item("番茄钟", "Tomato Timer", "com.example.tomato"), ws);
  EXPECT_EQ(byOwner.image->pixels(), ownerIcon->pixels());
  EXPECT_EQ(ws.runningReads, 2);  // read afresh for each candidate

  auto fileIcon = solidImage(128, 128, 0x808080FF, false);
  ws.urls["com.example.tomato"] = "/Applications/Tomato.app";
  ws.fileIcons["/Applications/Tomato.app"] = fileIcon;
  ApplicationIcon byFile = applicationIcon(item("番茄钟", "Nobody", "com.example.tomato"), ws);
  expectIconSize(byFile);
  EXPECT_EQ(byFile.image->pixels(), fileIcon->pixels());

  ws.fileIcons.clear();  // a located application without a file icon: an empty picture
  ApplicationIcon empty = applicationIcon(item("番茄钟", "Nobody", "com.example.tomato"), ws);
  expectIconSize(empty);
  EXPECT_FALSE(empty.symbol);
  for (std::size_t i = 3; i < empty.image->pixels().size(); i += 4) ASSERT_EQ(empty.image->pixels()[i], 0);
}

TEST(ApplicationIcon, SystemNamesAreNeverLookedUp) {
  FakeWorkspace ws;
  ws.run("时钟", solidImage(32, 32, 0xFF0000FF, false));
  ws.run("控制中心", solidImage(32, 32, 0xFF0000FF, false));
  ApplicationIcon icon = applicationIcon(item("时钟", "控制中心", "com.apple.controlcenter"), ws);
  EXPECT_EQ(ws.runningReads, 0);
  EXPECT_EQ(icon.symbol, "apple.logo");
}

TEST(ApplicationIcon, WithoutAnyMatchASymbolDescribedByTheOwner) {
  FakeWorkspace ws;
  ApplicationIcon dashed = applicationIcon(item("Gizmo", "Gizmo Inc", ""), ws);
  EXPECT_EQ(dashed.symbol, "app.dashed");
  expectIconSize(dashed);
  EXPECT_TRUE(ws.iconRequests.empty());
  ApplicationIcon apple = applicationIcon(item("Thing", "Thing Owner", "com.apple.x"), ws);
  EXPECT_EQ(apple.symbol, "apple.logo");
  expectIconSize(apple);
  EXPECT_EQ(apple.image->accessibilityDescription(), "Thing Owner");
}
