#pragma once
// Builders for the pieces of a simulated world that several test folders set up alike.

#include <cstdint>
#include <string>
#include <utility>

#include "Platform/Sim/Model.h"

namespace vimbo::test_support {

// An application installed under /Applications with the usual bundle layout.
inline sim::AppSpec installedApp(int32_t pid, const std::string& name, std::string bundle) {
  sim::AppSpec a;
  a.pid = pid;
  a.name = name;
  a.bundleIdentifier = std::move(bundle);
  a.executablePath = "/Applications/" + name + ".app/Contents/MacOS/" + name;
  a.bundlePath = "/Applications/" + name + ".app";
  return a;
}

}  // namespace vimbo::test_support
