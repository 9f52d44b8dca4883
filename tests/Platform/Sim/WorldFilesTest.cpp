// Scenario 10: worlds as data, clear errors, the generator.
#include "Platform/Sim/Generator.h"
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

std::string errorOf(const std::string& json) {
  WorldLoad load = parseWorld(json, "bad.json");
  auto* e = std::get_if<WorldError>(&load);
  return e ? e->message : "";
}

const char* minimal = R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 800, 600]}],
  "apps": [{"pid": 7, "name": "Seven"}],
  "items": [{"key": "a", "window": "Item-0", "owner": 7, "width": 30)";

TEST(WorldFiles, Scenario10_1_ShippedWorldsLoad) {
  for (const char* f : {"notched-laptop.json", "plain-1920.json", "two-displays.json"}) {
    WorldLoad load = loadWorld(shippedWorldsFolder() / f);
    ASSERT_TRUE(std::holds_alternative<WorldSpec>(load)) << std::get<WorldError>(load).message;
  }
  WorldSpec notched = std::get<WorldSpec>(loadWorld(shippedWorldsFolder() / "notched-laptop.json"));
  EXPECT_EQ(notched.items.size(), 22u);  // our divider and control item make 24
  EXPECT_EQ(notched.screens[0].notchWidth, 200);
  // Written and read back, a world is the same world.
  notched.switches.failingEventTypes = {EventType::KeyUp};
  notched.switches.dragSettleLatency = millis(250);
  notched.switches.controlWindowDuplicates = 2;
  notched.switches.screenRectBridgeAvailable = false;
  notched.switches.onScreenCountFailsAfter = millis(2000);
  notched.switches.onScreenCountZeroAfter = millis(1500);
  notched.switches.loginItemStatus = LoginItemStatus::requiresApproval;
  notched.items[0].menu.size = Size(180, 90);
  std::string once = worldToJson(notched);
  WorldLoad again = parseWorld(once);
  ASSERT_TRUE(std::holds_alternative<WorldSpec>(again));
  EXPECT_EQ(worldToJson(std::get<WorldSpec>(again)), once);
  const Switches& back = std::get<WorldSpec>(again).switches;
  EXPECT_EQ(back.failingEventTypes.count(EventType::KeyUp), 1u);
  EXPECT_EQ(back.dragSettleLatency, millis(250));
  EXPECT_EQ(back.controlWindowDuplicates, 2);
  EXPECT_FALSE(back.screenRectBridgeAvailable);
  EXPECT_EQ(back.onScreenCountFailsAfter, millis(2000));
  EXPECT_EQ(back.onScreenCountZeroAfter, millis(1500));
  EXPECT_EQ(back.loginItemStatus, LoginItemStatus::requiresApproval);
  EXPECT_EQ(std::get<WorldSpec>(again).items[0].menu.size, Size(180, 90));
}

TEST(WorldFiles, Scenario10_2_ErrorsNameTheFileAndThePlace) {
  EXPECT_EQ(errorOf(std::string(minimal) + "}]}"), "");
  std::string syntax = errorOf(std::string(minimal) + "}");
  EXPECT_NE(syntax.find("bad.json: "), std::string::npos) << syntax;
  EXPECT_NE(syntax.find("line 3"), std::string::npos) << syntax;
  EXPECT_EQ(errorOf(std::string(minimal) + R"(, "faults": {"ignoreDrag": true}}]})"),
            "bad.json: items[0].faults.ignoreDrag: unknown key \"ignoreDrag\"");
  EXPECT_EQ(errorOf(R"({"screens": [], "items": [{"key": "a", "owner": 9}]})"),
            "bad.json: items[0].owner: no application with pid 9");
  EXPECT_EQ(errorOf(R"({"screens": [{"displayID": "one", "displayBounds": [0,0,1,1]}]})"),
            "bad.json: screens[0].displayID: expected an integer");
  EXPECT_EQ(errorOf(std::string(minimal) + R"(, "picture": {"glyph": "star"}}]})"),
            "bad.json: items[0].picture.glyph: unknown glyph \"star\"");
  EXPECT_EQ(errorOf(R"({"screens": [], "switches": {"failingEventTypes": ["keyUp", "scroll"]}})"),
            "bad.json: switches.failingEventTypes[1]: unknown event type \"scroll\"");
  EXPECT_EQ(errorOf(R"({"screens": [], "switches": {"loginItemStatus": "on"}})"),
            "bad.json: switches.loginItemStatus: unknown login item status \"on\" (enabled, notRegistered, "
            "requiresApproval, notFound)");
  EXPECT_EQ(errorOf("[1, 2]"), "bad.json: top level: expected an object");
  EXPECT_EQ(errorOf(R"({"apps": []})").find("bad.json: "), 0u);  // screens are required
  auto missing = loadWorld("/nonexistent/world.json");
  EXPECT_EQ(std::get<WorldError>(missing).message, "/nonexistent/world.json: cannot be read");
}

TEST(WorldFiles, Scenario10_3_GeneratorIsDeterministicAndLaysOut) {
  WorldSpec a = generateWorld(200), b = generateWorld(200);
  EXPECT_EQ(worldToJson(a), worldToJson(b));
  EXPECT_EQ(a.items.size(), 202u);
  ASSERT_TRUE(std::holds_alternative<WorldSpec>(parseWorld(worldToJson(a))));
  VirtualLoop loop;
  World world(a, loop.clockwork());
  auto items = world.items();
  ASSERT_EQ(items.size(), 202u);
  EXPECT_EQ(items.back().windowName, "Clock");
  EXPECT_EQ(items.back().frame.maxX(), 1512);
  for (size_t i = 0; i + 1 < items.size(); ++i) ASSERT_EQ(items[i].frame.maxX(), items[i + 1].frame.minX());
  EXPECT_LT(items.front().frame.minX(), 0);  // 200 items do not fit: the leftmost are off screen
  WorldSpec plain = generateWorld(3, {.notch = false});
  EXPECT_EQ(plain.screens[0].menuBarHeight, 24);
  EXPECT_EQ(plain.screens[0].notchWidth, 0);
}

}  // namespace
}  // namespace vimbo::sim::testing
