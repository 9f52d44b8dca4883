// A scan writes each learned table once, at its end, and leaves in the defaults exactly what it
// holds in memory.

#include <stdlib.h>

#include <filesystem>

#include "CaptureFixture.h"
#include "Platform/Sim/Generator.h"

namespace vimbo::capture_testing {
namespace {

constexpr std::string_view kScanWriteKeys[] = {MenuBarCaptureService::aliasesKey, MenuBarCaptureService::displayNamesKey};

// Defaults in a file of their own, written at every change, so each change of a table's stored
// value is seen and counted.
class ScanWrites : public CaptureWorld, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "vimbo-scan-writes-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    defaults = platform::UserDefaults::persistent(folder_ / "defaults.json", [this](std::function<void()> write) {
      write();
      for (auto key : kScanWriteKeys) {
        auto now = defaults->data(std::string(key));
        if (now != stored_[key]) ++writes_[key];
        stored_[key] = std::move(now);
      }
    });
    start(GetParam() == 0 ? shippedWorld("notched-laptop.json") : sim::generateWorld(GetParam()));
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Runs one scan and checks that it wrote each table at most once and left nothing unwritten:
  // writing the tables now stores nothing new.
  template <class Scan>
  void expectOneWriteEach(const char* what, Scan scan) {
    writes_.clear();
    scan();
    for (auto key : kScanWriteKeys) EXPECT_LE(writes_[key], 1) << what << " wrote " << key;
    writes_.clear();
    service->flushPersistedMenuExtraAliases();
    service->flushPersistedDisplayNames();
    for (auto key : kScanWriteKeys) EXPECT_EQ(writes_[key], 0) << what << " left " << key << " unwritten";
  }

  std::filesystem::path folder_;
  std::map<std::string_view, int> writes_;
  std::map<std::string_view, std::optional<platform::Data>> stored_;
};

TEST_P(ScanWrites, EachScanWritesEachLearnedTableAtMostOnceAndLeavesNothingUnwritten) {
  for (int launch = 0; launch < 2; ++launch) {
    if (launch == 1) makeService();  // a restart over the stored tables
    expectOneWriteEach("the start-up pairing", [&] { service->preparePreDividerMenuExtraCandidates(); });
    std::vector<CapturedMenuBarItem> found;
    expectOneWriteEach("a discovery", [&] { found = service->discoverMenuBarItems(); });
    expectOneWriteEach("a seed", [&] { service->captureVisibleImages(found, {}); });
  }
  // A bar larger than the caps: the tables stay capped while their writes wait.
  if (GetParam() > 0) {
    EXPECT_EQ(service->state().persistedMenuExtraAliases.size(), MenuBarCaptureService::aliasCap);
    EXPECT_EQ(service->state().persistedDisplayNames.size(), MenuBarCaptureService::displayNameCap);
  }
}

INSTANTIATE_TEST_SUITE_P(ShippedAndLargerThanTheCaps, ScanWrites, ::testing::Values(0, 200));

}  // namespace
}  // namespace vimbo::capture_testing
