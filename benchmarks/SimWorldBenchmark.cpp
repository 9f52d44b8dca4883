// Cost of the simulated window server and accessibility on large generated worlds.
#include <benchmark/benchmark.h>

#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/Generator.h"
#include "Platform/Sim/SimPlatform.h"

namespace {

using namespace vimbo;

void WindowListCopy(benchmark::State& state) {
  async::VirtualExecutor ex;
  sim::SimEnvironment env(sim::generateWorld(static_cast<int>(state.range(0))), ex);
  auto& ws = env.sim().windowServer;
  for (auto _ : state) benchmark::DoNotOptimize(ws.copyWindowList(platform::WindowListOption::All, 0));
}
BENCHMARK(WindowListCopy)->Arg(24)->Arg(200)->Arg(1000);

void CollapseAndExpand(benchmark::State& state) {
  async::VirtualExecutor ex;
  sim::SimEnvironment env(sim::generateWorld(static_cast<int>(state.range(0))), ex);
  auto divider = env.sim().statusBar.statusItem(1);
  for (auto _ : state) {
    divider->setLength(10000);
    divider->setLength(1);
  }
}
BENCHMARK(CollapseAndExpand)->Arg(24)->Arg(200)->Arg(1000);

void HitTest(benchmark::State& state) {
  async::VirtualExecutor ex;
  sim::SimEnvironment env(sim::generateWorld(static_cast<int>(state.range(0))), ex);
  auto& ax = env.sim().accessibility;
  auto system = ax.createSystemWide();
  for (auto _ : state) benchmark::DoNotOptimize(ax.copyElementAtPosition(system, 1300, 10));
}
BENCHMARK(HitTest)->Arg(24)->Arg(200)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
