// Worlds as data: shipped files, clear errors naming the file and the place, the generator.
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

TEST(WorldFiles, ShippedWorldsLoadAndRoundTrip) {
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

TEST(WorldFiles, ErrorsNameTheFileAndThePlace) {
  EXPECT_EQ(errorOf(std::string(minimal) + "}]}"), "");
  EXPECT_EQ(errorOf(std::string(minimal) + "}"), "bad.json: 第 3 行第 70 列不是有效的 JSON。");
  EXPECT_EQ(errorOf(std::string(minimal) + R"(, "faults": {"ignoreDrag": true}}]})"),
            "bad.json: items[0].faults.ignoreDrag: unknown key \"ignoreDrag\"");
  EXPECT_EQ(errorOf(R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 8, 6]}], "items": [{"key": "a", "owner": 9}]})"),
            "bad.json: items[0].owner: no application with pid 9");
  EXPECT_EQ(errorOf(R"({"screens": [{"displayID": "one", "displayBounds": [0,0,1,1]}]})"),
            "bad.json: screens[0].displayID: expected an integer");
  EXPECT_EQ(errorOf(std::string(minimal) + R"(, "picture": {"glyph": "star"}}]})"),
            "bad.json: items[0].picture.glyph: unknown glyph \"star\"");
  EXPECT_EQ(errorOf(R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 8, 6]}], "switches": {"failingEventTypes": ["keyUp", "scroll"]}})"),
            "bad.json: switches.failingEventTypes[1]: unknown event type \"scroll\"");
  EXPECT_EQ(errorOf(R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 8, 6]}], "switches": {"loginItemStatus": "on"}})"),
            "bad.json: switches.loginItemStatus: unknown login item status \"on\" (enabled, notRegistered, "
            "requiresApproval, notFound)");
  EXPECT_EQ(errorOf("[1, 2]"), "bad.json: top level: expected an object");
  EXPECT_EQ(errorOf(R"({"apps": []})").find("bad.json: "), 0u);  // screens are required
  auto missing = loadWorld("/nonexistent/world.json");
  EXPECT_EQ(std::get<WorldError>(missing).message, "/nonexistent/world.json: cannot be read");
}

struct Refusal {
  const char* json;
  const char* error;
};

class RefusedWorlds : public ::testing::TestWithParam<Refusal> {};

// Shapes no desktop can have, and numbers no run can use, are refused before anything is built.
TEST_P(RefusedWorlds, AreRefusedWithTheFileAndThePlace) {
  EXPECT_EQ(errorOf(GetParam().json), GetParam().error);
}

#define SCREEN R"({"displayID": 1, "displayBounds": [0, 0, 800, 600]})"
#define APP R"("apps": [{"pid": 7}])"
INSTANTIATE_TEST_SUITE_P(
    WorldFiles, RefusedWorlds,
    ::testing::Values(
        Refusal{R"({"screens": []})", "bad.json: screens: must name at least one screen"},
        Refusal{R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 800, 0]}]})",
                "bad.json: screens[0].displayBounds: must have a positive size"},
        Refusal{R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 800, 600], "frame": [0, 0, -5, 0]}]})",
                "bad.json: screens[0].frame: must have a positive size"},
        Refusal{R"({"screens": [{"displayID": 1, "displayBounds": [0, 0, 800, 600], "menuBarHeight": 0}]})",
                "bad.json: screens[0].menuBarHeight: must be positive"},
        Refusal{R"({"screens": [)" SCREEN R"(], )" APP R"(, "items": [{"key": "a", "owner": 7, "width": 0}]})",
                "bad.json: items[0].width: must be positive"},
        Refusal{R"({"screens": [)" SCREEN R"(], )" APP
                R"(, "items": [{"key": "a", "owner": 7}, {"key": "b", "owner": 7, "menu": {"size": [0, 90]}}]})",
                "bad.json: items[1].menu.size: must have a positive size"},
        Refusal{R"({"screens": [)" SCREEN R"(], "switches": {"dragSettleLatencyMs": 1e300}})",
                "bad.json: switches.dragSettleLatencyMs: must be between 0 and 86400000 milliseconds"},
        Refusal{R"({"screens": [)" SCREEN R"(], "switches": {"onScreenCountFailsAfterMs": -1}})",
                "bad.json: switches.onScreenCountFailsAfterMs: must be between 0 and 86400000 milliseconds"},
        Refusal{R"({"pointer": [1e400, 0], "screens": [)" SCREEN R"(]})", "bad.json: 第 1 行第 18 列的数超出了范围。"},
        Refusal{"oops", "bad.json: 第 1 行第 1 列不是有效的 JSON。"}));
#undef SCREEN
#undef APP

TEST(WorldFiles, TheParsersOwnWordsAreKeptApartFromTheSentence) {
  WorldLoad load = parseWorld("oops", "bad.json");
  const WorldError& e = std::get<WorldError>(load);
  EXPECT_EQ(e.message.find("json.exception"), std::string::npos);
  EXPECT_NE(e.parserDetail.find("json.exception.parse_error"), std::string::npos) << e.parserDetail;
  WorldLoad overflow = parseWorld(R"({"pointer": [1e400, 0]})", "bad.json");
  EXPECT_NE(std::get<WorldError>(overflow).parserDetail.find("1e400"), std::string::npos);
}

TEST(WorldFiles, GeneratorIsDeterministicAndLaysOut) {
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
