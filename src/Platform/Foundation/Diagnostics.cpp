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
std::function<void(const std::string&)>& userHandler() {
  static std::function<void(const std::string&)> h;
  return h;
}
}  // namespace

bool reportOnce(const std::string& message) {
  std::lock_guard lock(reportsLock());
  if (!reported().insert(message).second) return false;
  std::fprintf(stderr, "Vimbo: %s\n", message.c_str());
  std::fflush(stderr);
  return true;
}

bool reportToUser(const std::string& message) {
  if (!reportOnce(message)) return false;
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard lock(reportsLock());
    handler = userHandler();
  }
  if (handler) handler(message);
  return true;
}

void setUserReportHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard lock(reportsLock());
  userHandler() = std::move(handler);
}

void forgetReportsForTesting() {
  std::lock_guard lock(reportsLock());
  reported().clear();
}

}  // namespace vimbo::platform
