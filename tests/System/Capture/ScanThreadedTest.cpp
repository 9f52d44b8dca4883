// The accessibility scan on worker threads: which applications are scanned, the blocking
// start-up form and the detached rescan, and what an unresponsive application costs.

#include "CaptureFixture.h"

namespace vimbo::capture_testing {
namespace {

using namespace std::chrono_literals;

class Scan : public CaptureWorld {
 protected:
  std::set<std::string> scannedBundles(bool includeRegular, const std::set<std::string>& regular) {
    std::set<std::string> out;
    for (const auto& a : service->runningMenuExtraApplications(includeRegular, regular)) out.insert(a.bundleIdentifier);
    return out;
  }
  size_t candidatesOf(int32_t pid) {
    size_t n = 0;
    for (const auto& c : service->state().menuExtraDisplayCandidates) n += c.processIdentifier == pid;
    return n;
  }
};

TEST_F(Scan, ChoosesMenuExtraOwners) {
  sim::WorldSpec spec;
  spec.screens = {plainScreen()};
  auto regular = platform::ActivationPolicy::Regular;
  auto flaggedOne = app(601, "One", "com.one", regular);
  flaggedOne.bundleInfo["LSUIElement"] = std::string("1");
  auto flaggedYes = app(602, "Yes", "com.yes", regular);
  flaggedYes.bundleInfo["LSUIElement"] = std::string("YES");
  auto flaggedTrue = app(603, "True", "com.true", regular);
  flaggedTrue.bundleInfo["LSUIElement"] = true;
  auto blankName = app(604, "  ", "com.blank");
  auto blankBundle = app(605, "Blank", " \n");
  auto noExecutable = app(606, "NoExe", "com.noexe");
  noExecutable.executablePath.reset();
  auto prohibited = app(607, "Hidden", "com.hidden", platform::ActivationPolicy::Prohibited);
  spec.apps = {flaggedOne, flaggedYes, flaggedTrue, blankName, blankBundle, noExecutable, prohibited,
               app(608, " Padded ", " com.padded ")};
  start(spec);
  // Our own process is an accessory application, so it is scanned too.
  EXPECT_EQ(scannedBundles(false, {}), (std::set<std::string>{"com.one", "com.true", "com.padded", "com.vimbo.app"}));
  EXPECT_EQ(scannedBundles(false, {"com.yes", "com.hidden"}),
            (std::set<std::string>{"com.one", "com.true", "com.padded", "com.vimbo.app", "com.yes", "com.hidden"}));
  EXPECT_EQ(scannedBundles(true, {}), (std::set<std::string>{"com.one", "com.true", "com.padded", "com.vimbo.app", "com.yes"}));
  auto apps = service->runningMenuExtraApplications(false, {});
  auto padded = std::find_if(apps.begin(), apps.end(), [](const auto& a) { return a.processIdentifier == 608; });
  ASSERT_NE(padded, apps.end());
  EXPECT_EQ(padded->localizedName, "Padded");
}

TEST_F(Scan, StartUpScanIsNarrowedByStoredAliases) {
  startShipped("notched-laptop.json");
  service->preparePreDividerMenuExtraCandidates();  // no aliases yet: every regular application
  EXPECT_EQ(candidatesOf(504), 1u);                 // Pebblesync is regular
  EXPECT_EQ(candidatesOf(512), 1u);                 // so is Harbor Mail
  // With aliases stored, only regular applications an alias names are scanned at start-up.
  makeService();
  service->preparePreDividerMenuExtraCandidates();
  EXPECT_EQ(candidatesOf(504), 1u);  // Pebblesync was paired, so an alias names it
  EXPECT_EQ(candidatesOf(512), 1u);  // and Harbor Mail, right of the notch, too
  auto& aliases = service->mutableStateForTesting().persistedMenuExtraAliases;
  std::erase_if(aliases, [](const auto& kv) { return kv.second.candidateBundleIdentifier == "com.harbor.mail"; });
  service->preparePreDividerMenuExtraCandidates();
  EXPECT_EQ(candidatesOf(512), 0u);
  EXPECT_EQ(candidatesOf(504), 1u);
}

TEST_F(Scan, BlockingStartUpScanCostsOnlyTheSlowestApplication) {
  startShipped("notched-laptop.json");
  world().setUnresponsive(503, true);
  world().setUnresponsive(507, true);
  const auto start = executor.now();
  service->preparePreDividerMenuExtraCandidates();
  // Two time-outs of 0.15 s (a single-precision value), taken in parallel.
  EXPECT_GE(executor.now() - start, 150ms);
  EXPECT_LT(executor.now() - start, 151ms);
  EXPECT_EQ(service->state().menuExtraDisplayCandidates.size(), 20u);
  EXPECT_EQ(candidatesOf(503), 0u);
  EXPECT_EQ(candidatesOf(300), 6u);
  // Candidates of one application keep the children's order.
  std::vector<double> controlCenter;
  for (const auto& c : service->state().menuExtraDisplayCandidates)
    if (c.processIdentifier == 300) controlCenter.push_back(c.frame.x);
  EXPECT_TRUE(std::is_sorted(controlCenter.begin(), controlCenter.end()));
}

TEST_F(Scan, DetachedRescanLetsTheMainLoopRun) {
  startShipped("notched-laptop.json");
  world().setUnresponsive(509, true);
  world().setUnresponsive(510, true);
  bool timerRan = false;
  async::TimePoint finished;
  const auto start = executor.now();
  executor.scheduleAfter(50ms, [&] { timerRan = true; });
  auto rescan = [&]() -> async::Task<void> {
    auto refresh = service->refreshMenuExtraDisplayNames();
    co_await std::move(refresh);
    finished = executor.now();
    EXPECT_TRUE(timerRan);
  };
  run(rescan());
  EXPECT_GE(finished - start, 150ms);
  EXPECT_LT(finished - start, 151ms);
  EXPECT_EQ(service->state().menuExtraDisplayCandidates.size(), 20u);
  EXPECT_TRUE(service->state().preDividerMenuExtraCandidates.empty());  // the rescan touches candidates only

  // A child without width is skipped; the application answers again.
  world().setUnresponsive(509, false);
  world().setUnresponsive(510, false);
  world().itemSpec("bytecount").axOffset = Rect(0, 0, -26, 0);
  run(service->refreshMenuExtraDisplayNames());
  EXPECT_EQ(candidatesOf(509), 0u);
  EXPECT_EQ(candidatesOf(510), 1u);
}

}  // namespace
}  // namespace vimbo::capture_testing
