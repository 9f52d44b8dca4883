// The controller's launch against generated worlds with nothing stored yet: its own turn (the
// start-up scan, the settling of identities and the seeds, which hold the desktop's first paint)
// and the launch until the initial capture has filled the store. Each iteration launches afresh;
// the world and the controller are built untimed.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "Platform/Sim/Generator.h"
#include "SimController.h"

namespace {

using namespace vimbo;
using namespace std::chrono_literals;

using Fresh = bench::SimController;

// Out of line, so that an instruction count can be limited to the launch
// (valgrind --tool=callgrind --toggle-collect='*launchOnce*').
template <class Launch>
[[gnu::noinline]] void launchOnce(Fresh& app, Launch& launch) {
  launch(app);
}

template <class Launch>
void measureLaunch(benchmark::State& state, Launch launch) {
  const sim::WorldSpec world = sim::generateWorld(static_cast<int>(state.range(0)));
  size_t items = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto app = std::make_unique<Fresh>(world);
    state.ResumeTiming();
    launchOnce(*app, launch);
    state.PauseTiming();
    items = app->controller->store.capturedSystemItems.get().size();
    app.reset();
    state.ResumeTiming();
  }
  state.counters["items"] = static_cast<double>(items);
}

// The launch's own turn, its settling waits included.
void BM_LaunchTurn(benchmark::State& state) {
  measureLaunch(state, [](Fresh& app) { app.launch(); });
}
BENCHMARK(BM_LaunchTurn)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// The launch until the initial capture has filled the store.
void BM_LaunchUntilCaptured(benchmark::State& state) {
  measureLaunch(state, [](Fresh& app) {
    app.launch();
    app.runUntilCaptured();
  });
}
BENCHMARK(BM_LaunchUntilCaptured)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
