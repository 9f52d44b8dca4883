// The controller's refresh of the captured items against generated worlds, after start-up has
// settled: the full refresh (discovery, pictures of what changed, the displayed states, the saved
// pins) and the displayed-state reconcile on its own. Allocations are counted per pass.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>

#include "App/AppDelegate.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Sim/Generator.h"
#include "Platform/Sim/SimPlatform.h"
#include "Support/RecordingViewFactory.h"

namespace {

std::atomic<int64_t> allocations{0};
std::atomic<int64_t> allocatedBytes{0};

void* counted(std::size_t n) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  allocatedBytes.fetch_add(static_cast<int64_t>(n), std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}

}  // namespace

// GCC takes the free() in a replaced delete for a mismatch with the call site's new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (void* p = counted(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = counted(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return counted(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return counted(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace vimbo;
using namespace std::chrono_literals;

// A launched controller whose initial capture has filled the store.
struct Launched {
  explicit Launched(int items) {
    env = std::make_unique<sim::SimEnvironment>(sim::generateWorld(items), executor, defaults);
    platform = std::make_unique<platform::Platform>(env->platform());
    controller = std::make_shared<AppDelegate>(*platform, defaults, factory);
    env->sim().application.setDelegate(controller.get());
    env->sim().application.finishLaunching();
    executor.runUntil(
        [&] { return !controller->store.isCapturingSystemItems.get() && !controller->store.capturedSystemItems.get().empty(); },
        executor.now() + 60s);
    executor.runFor(5s);
  }
  ~Launched() {
    executor.shutdown();
    env->sim().application.setDelegate(nullptr);
    controller.reset();
  }
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;

  template <class F>
  void drive(F body) {
    auto handle = async::spawn(executor, [self = controller, body]() mutable { return body(*self); });
    executor.runUntil([&] { return handle.isDone(); }, executor.now() + 600s);
  }

  async::VirtualExecutor executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  test_support::RecordingViewFactory factory;
  std::unique_ptr<sim::SimEnvironment> env;
  std::unique_ptr<platform::Platform> platform;
  std::shared_ptr<AppDelegate> controller;
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
  const int64_t allocationsBefore = allocations.load();
  const int64_t bytesBefore = allocatedBytes.load();
  for (auto _ : state) {
    onePass(app, pass);
    ++passes;
  }
  state.counters["items"] = static_cast<double>(items);
  state.counters["allocs/pass"] = static_cast<double>(allocations.load() - allocationsBefore) / static_cast<double>(passes);
  state.counters["MB/pass"] =
      static_cast<double>(allocatedBytes.load() - bytesBefore) / 1e6 / static_cast<double>(passes);
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
