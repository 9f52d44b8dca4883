// The controller's refresh of the captured items against generated worlds, after start-up has
// settled: the full refresh (discovery, pictures of what changed, the displayed states, the saved
// pins) and the displayed-state reconcile on its own. Allocations are counted per pass.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "Platform/Runtime/Task.h"
#include "Platform/Sim/Generator.h"
#include "SimController.h"
#include "Support/LargestAllocation.h"

namespace {

using namespace vimbo;
using namespace std::chrono_literals;

// A launched controller whose initial capture has filled the store.
struct Launched : bench::SimController {
  explicit Launched(int items) : SimController(sim::generateWorld(items)) {
    launch();
    runUntilCaptured();
    executor.runFor(5s);
  }

  template <class F>
  void drive(F body) {
    auto handle = async::spawn(executor, [self = controller, body]() mutable { return body(*self); });
    executor.runUntil([&] { return handle.isDone(); }, executor.now() + 600s);
  }
};

// Out of line, so that an instruction count can be limited to the passes
// (valgrind --tool=callgrind --toggle-collect='*onePass*').
template <class Pass>
[[gnu::noinline]] void onePass(Launched& app, Pass& pass) {
  pass(app);
}

template <class Pass>
void measure(benchmark::State& state, Pass pass) {
  Launched app(static_cast<int>(state.range(0)));
  const auto items = app.controller->store.capturedSystemItems.get().size();
  pass(app);  // the first pass after start-up may still find work left over; it is not counted
  int64_t passes = 0;
  const int64_t allocationsBefore = test_support::allocationCount.load();
  const int64_t bytesBefore = test_support::allocatedBytes.load();
  for (auto _ : state) {
    onePass(app, pass);
    ++passes;
  }
  state.counters["items"] = static_cast<double>(items);
  state.counters["allocs/pass"] = static_cast<double>(test_support::allocationCount.load() - allocationsBefore) / static_cast<double>(passes);
  state.counters["MB/pass"] =
      static_cast<double>(test_support::allocatedBytes.load() - bytesBefore) / 1e6 / static_cast<double>(passes);
}

void BM_ControllerRefresh(benchmark::State& state) {
  measure(state, [](Launched& app) { app.drive([](AppDelegate& c) { return c.refreshSystemItems(false); }); });
}
BENCHMARK(BM_ControllerRefresh)->Arg(16)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_DisplayedStateReconcile(benchmark::State& state) {
  measure(state, [](Launched& app) { app.controller->reconcileDisplayedSystemItemStates(); });
}
BENCHMARK(BM_DisplayedStateReconcile)->Arg(16)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
