// The quick-search panel offscreen over generated bars: one keystroke that every item matches
// (ranking, rows, paint), opening the panel (build, show, first paint), and the ranking alone for
// a query that matches nothing. Counters: rows built and workspace application-list reads.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Desktop/Appearance.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Foundation/LoginItem.h"
#include "Platform/Foundation/ScreenCaptureAccess.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/Generator.h"
#include "Platform/Sim/SimPlatform.h"
#include "Store/MenuBarStore.h"
#include "Views/MenuBarSearchPanelModel.h"
#include "Views/MenuBarSearchSession.h"
#include "Views/Widgets/MenuBarSearchPanel.h"
#include "Views/Widgets/ViewKit.h"

namespace {

using namespace vimbo;

// The simulated workspace, counting how often the whole application list is read.
class CountingWorkspace : public platform::Workspace {
 public:
  explicit CountingWorkspace(platform::Workspace& inner) : inner_(inner) {}
  std::vector<platform::RunningApplication> runningApplications() const override {
    ++listReads;
    return inner_.runningApplications();
  }
  std::optional<platform::RunningApplication> runningApplication(int32_t pid) const override {
    return inner_.runningApplication(pid);
  }
  std::optional<std::string> urlForApplication(const std::string& b) const override { return inner_.urlForApplication(b); }
  std::optional<platform::BundleInfo> bundleInfo(const std::string& url) const override { return inner_.bundleInfo(url); }
  platform::ImageRef iconForFile(const std::string& path) const override { return inner_.iconForFile(path); }
  mutable int64_t listReads = 0;

 private:
  platform::Workspace& inner_;
};

platform::ImageRef glyph(std::uint32_t rgb) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < 32 * 32; ++i)
    pixels.insert(pixels.end(), {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb), 255});
  return platform::Image::make({16, 16}, 32, 32, std::move(pixels), false);
}

// What a capture of the generated world gives the store: one item per generated item, named
// after it, owned by its invented application.
std::vector<CapturedMenuBarItem> capturedItems(const sim::WorldSpec& world) {
  std::vector<CapturedMenuBarItem> out;
  std::uint32_t id = 100;
  for (const sim::ItemSpec& spec : world.items) {
    if (spec.windowName != "Item-0") continue;
    const sim::AppSpec* owner = nullptr;
    for (const sim::AppSpec& app : world.apps)
      if (app.pid == spec.ownerPID) owner = &app;
    CapturedMenuBarItem item;
    item.id = id++;
    item.windowName = *spec.windowName;
    item.name = "Generated item " + std::to_string(out.size());
    item.ownerName = owner && owner->name ? *owner->name : std::string();
    item.ownerBundleIdentifier = owner && owner->bundleIdentifier ? *owner->bundleIdentifier : std::string();
    item.ownerPID = spec.ownerPID;
    item.stableIdentity = item.ownerBundleIdentifier + "|window=" + item.windowName + "|ax=" + spec.key;
    item.image = glyph(0x303030u + 0x0F1F2Fu * (item.id % 7));
    item.originalFrame = Rect(double(item.id), 0, 24, 24);
    out.push_back(std::move(item));
  }
  return out;
}

struct Bench {
  explicit Bench(int items)
      : env(sim::generateWorld(items), executor), workspace(env.sim().workspace) {
    store.screenCapturePermissionGranted.set(true);
    store.replaceCapturedSystemItems(capturedItems(env.world().spec()));
  }
  // What the runtime's next turn and Qt's posted events do after a change.
  void turn() {
    executor.runFor(async::Duration::zero());
    QCoreApplication::sendPostedEvents();
  }
  std::unique_ptr<views::MenuBarSearchPanel> open() {
    auto panel = std::make_unique<views::MenuBarSearchPanel>(store, session, QuickSearchActions{}, executor, workspace);
    panel->show();
    QCoreApplication::processEvents();
    turn();
    paint(*panel);
    return panel;
  }
  void paint(QWidget& panel) {
    canvas.fill(Qt::transparent);
    panel.render(&canvas);
    benchmark::DoNotOptimize(canvas.constBits());
  }

  async::VirtualExecutor executor;
  sim::SimEnvironment env;
  CountingWorkspace workspace;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  platform::InMemoryLoginItem login;
  platform::InMemoryScreenCaptureAccess capture{true};
  MenuBarStore store{*defaults, login, capture};
  MenuBarSearchSession session;
  QImage canvas{440, 416, QImage::Format_ARGB32_Premultiplied};
};

// Typing into the field with every item matching: "c" and "co" both hit each bundle identifier,
// and they take turns so that every iteration is a new query.
void BM_QuickSearchKeystroke(benchmark::State& state) {
  Bench b(int(state.range(0)));
  auto panel = b.open();
  const QString queries[] = {QStringLiteral("c"), QStringLiteral("co")};
  int64_t keys = 0;
  b.workspace.listReads = 0;
  for (auto _ : state) {
    panel->field()->setText(queries[keys++ % 2]);
    b.turn();
    b.paint(*panel);
  }
  state.counters["results"] = double(panel->model().resultCount());
  state.counters["rowsBuilt"] = double(panel->rows().size());
  state.counters["appListReads/key"] = double(b.workspace.listReads) / double(keys);
}
BENCHMARK(BM_QuickSearchKeystroke)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// The panel made, shown and painted for the first time; taking it down is not counted.
void BM_QuickSearchOpen(benchmark::State& state) {
  Bench b(int(state.range(0)));
  int64_t opens = 0;
  size_t rows = 0;
  b.workspace.listReads = 0;
  for (auto _ : state) {
    auto panel = b.open();
    ++opens;
    rows = panel->rows().size();
    state.PauseTiming();
    panel.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
  state.counters["rowsBuilt"] = double(rows);
  state.counters["appListReads/open"] = double(b.workspace.listReads) / double(opens);
}
BENCHMARK(BM_QuickSearchOpen)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// The ranking alone, through the panel's model, for queries that match nothing.
void BM_QuickSearchRankingNoMatch(benchmark::State& state) {
  Bench b(int(state.range(0)));
  MenuBarSearchPanelModel model(b.store, b.session, QuickSearchActions{});
  const std::string queries[] = {"zzq", "zzqx"};
  int64_t keys = 0;
  for (auto _ : state) {
    b.session.query.set(queries[keys++ % 2]);
    benchmark::DoNotOptimize(model.resultCount());
  }
}
BENCHMARK(BM_QuickSearchRankingNoMatch)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vimbo::desktop::configureApplication(app);
  vimbo::views::motion::setEnabled(false);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
