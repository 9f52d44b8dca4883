#include "Platform/Foundation/Diagnostics.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace vimbo::platform {

namespace {
std::mutex& reportsLock() {
  static std::mutex m;
  return m;
}
std::set<std::string>& reported() {
  static std::set<std::string> s;
  return s;
}
}  // namespace

bool reportOnce(const std::string& message) {
  std::lock_guard lock(reportsLock());
  if (!reported().insert(message).second) return false;
  std::fprintf(stderr, "Vimbo: %s\n", message.c_str());
  std::fflush(stderr);
  return true;
}

void forgetReportsForTesting() {
  std::lock_guard lock(reportsLock());
  reported().clear();
}

}  // namespace vimbo::platform
