// Discovery and a full capture of pictures and names against generated worlds, and the
// accessibility scan with one unresponsive application. Platform calls are counted per pass.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "../tests/System/Capture/CountingPlatform.h"
#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Sim/Generator.h"
#include "Platform/Sim/SimPlatform.h"
#include "System/MenuBarCaptureService.h"

// Every heap allocation of the process is counted, the C libraries' (the PNG encoder's deflate
// state) as well as operator new's, by taking malloc's place in front of the C library's own.
namespace {
std::atomic<std::uint64_t> allocationCount{0};
std::atomic<std::uint64_t> allocatedBytes{0};
void countAllocation(std::size_t bytes) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  allocatedBytes.fetch_add(bytes, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t n) {
  countAllocation(n);
  return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t n) {
  countAllocation(count * n);
  return __libc_calloc(count, n);
}
void* realloc(void* p, std::size_t n) {
  countAllocation(n);
  return __libc_realloc(p, n);
}
}

namespace {

using namespace vimbo;

struct Bench {
  explicit Bench(int items) {
    env = std::make_unique<sim::SimEnvironment>(sim::generateWorld(items), executor, defaults);
    counting = std::make_unique<capture_testing::CountingPlatform>(env->platform());
    service = std::make_unique<MenuBarCaptureService>(counting->platform, defaults, executor);
    service->preparePreDividerMenuExtraCandidates();
  }
  template <class T>
  T run(async::Task<T> task) {
    auto handle = async::spawn(executor, std::move(task));
    executor.runUntil([&] { return handle.isDone(); }, executor.now() + std::chrono::hours(1));
    return *handle.result();
  }
  async::VirtualExecutor executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  std::unique_ptr<sim::SimEnvironment> env;
  std::unique_ptr<capture_testing::CountingPlatform> counting;
  std::unique_ptr<MenuBarCaptureService> service;
};

void report(benchmark::State& state, Bench& b, int64_t passes, size_t items) {
  const auto& c = b.counting->counts;
  state.counters["allocs/pass"] = static_cast<double>(allocationCount.load()) / static_cast<double>(passes);
  state.counters["allocMB/pass"] = static_cast<double>(allocatedBytes.load()) / 1e6 / static_cast<double>(passes);
  state.counters["windowLists/pass"] = static_cast<double>(c.windowListCopies) / static_cast<double>(passes);
  state.counters["axMessages/item"] =
      static_cast<double>(c.accessibilityMessages()) / static_cast<double>(passes) / static_cast<double>(items);
  state.counters["hitTests/item"] = static_cast<double>(c.hitTests) / static_cast<double>(passes) / static_cast<double>(items);
  state.counters["items"] = static_cast<double>(items);
}

// Times one pass per iteration after an untimed first pass (the one that stores every picture),
// so each figure is a pass over a bar already seen; counters are per pass and item.
template <class Pass>
void measurePasses(benchmark::State& state, Pass pass) {
  Bench b(static_cast<int>(state.range(0)));
  size_t items = b.service->discoverMenuBarItems().size();
  pass(b);
  b.counting->counts.reset();
  allocationCount = 0;
  allocatedBytes = 0;
  int64_t passes = 0;
  for (auto _ : state) {
    pass(b);
    ++passes;
  }
  report(state, b, passes, items);
}

void BM_Discover(benchmark::State& state) {
  measurePasses(state, [](Bench& b) {
    auto found = b.service->discoverMenuBarItems();
    benchmark::DoNotOptimize(found);
  });
}
BENCHMARK(BM_Discover)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

void BM_FullCapture(benchmark::State& state) {
  measurePasses(state, [](Bench& b) {
    auto found = b.service->discoverMenuBarItems();
    auto captured = b.run(b.service->captureImages(found, {}));
    benchmark::DoNotOptimize(captured);
  });
}
BENCHMARK(BM_FullCapture)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

// Virtual time of the start-up scan with one application that never answers.
void BM_ScanWithUnresponsiveApplication(benchmark::State& state) {
  Bench b(static_cast<int>(state.range(0)));
  b.env->world().setUnresponsive(1000, true);
  double virtualMs = 0;
  int64_t passes = 0;
  for (auto _ : state) {
    auto start = b.executor.now();
    b.service->preparePreDividerMenuExtraCandidates();
    virtualMs += std::chrono::duration<double, std::milli>(b.executor.now() - start).count();
    ++passes;
  }
  state.counters["virtualMs/scan"] = virtualMs / static_cast<double>(passes);
}
BENCHMARK(BM_ScanWithUnresponsiveApplication)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
