// The capture service's stored tables (aliases, display names and the two glyph tables), loaded
// as the service does at start from whatever the defaults hold. The input is split into the
// alias data, the name data and a few glyph entries per table.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/SimPlatform.h"
#include "System/MenuBarCaptureService.h"

using namespace vimbo;

namespace {
platform::Data bytes(const std::string& s) { return platform::Data(s.begin(), s.end()); }

platform::DefaultsDictionary glyphTable(FuzzedDataProvider& in) {
  platform::DefaultsDictionary table;
  const int entries = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < entries; ++i) {
    std::string key = in.ConsumeRandomLengthString(64);
    table.emplace(std::move(key), bytes(in.ConsumeRandomLengthString(4096)));
  }
  return table;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static async::VirtualExecutor executor;
  static auto defaults = platform::UserDefaults::inMemory();
  static sim::SimEnvironment environment(sim::WorldSpec{}, executor, defaults);

  FuzzedDataProvider in(data, size);
  defaults->set(std::string(MenuBarCaptureService::aliasesKey), bytes(in.ConsumeRandomLengthString(4096)));
  defaults->set(std::string(MenuBarCaptureService::displayNamesKey), bytes(in.ConsumeRandomLengthString(4096)));
  defaults->set(std::string(MenuBarCaptureService::nativeGlyphsKey), glyphTable(in));
  defaults->set(std::string(MenuBarCaptureService::nativeGlyphAliasesKey), glyphTable(in));
  if (in.ConsumeBool()) defaults->set(std::string(MenuBarCaptureService::nativeGlyphsKey), in.ConsumeRandomLengthString(16));

  MenuBarCaptureService service(environment.platform(), defaults, executor);
  const auto& state = service.state();
  FUZZ_CHECK(state.persistedMenuExtraAliases.size() <= MenuBarCaptureService::aliasCap);
  FUZZ_CHECK(state.persistedDisplayNames.size() <= MenuBarCaptureService::displayNameCap);
  FUZZ_CHECK(state.persistedNativeGlyphs.size() <= MenuBarCaptureService::glyphCap);
  for (const auto& [key, image] : state.persistedNativeGlyphs)
    FUZZ_CHECK(image && std::int64_t(image->pixelWidth()) * image->pixelHeight() <= MenuBarCaptureService::glyphMaxPixels);
  // What was loaded writes back.
  service.flushPersistedMenuExtraAliases();
  service.flushPersistedDisplayNames();
  auto aliases = defaults->data(std::string(MenuBarCaptureService::aliasesKey));
  FUZZ_CHECK(aliases);
  auto decoded = MenuBarCaptureService::decodeAliases(std::string(aliases->begin(), aliases->end()));
  FUZZ_CHECK(decoded && *decoded == state.persistedMenuExtraAliases);
  return 0;
}
