#pragma once
// Application event monitors. A global monitor sees copies of events sent to other processes,
// after the fact. A local monitor sees events about to be dispatched in our process and may
// swallow one by returning none.

#include <cstdint>
#include <functional>
#include <optional>

#include "Platform/Events.h"

namespace vimbo::platform {

using MonitorToken = uint64_t;  // 0 is no monitor

class EventMonitors {
 public:
  virtual ~EventMonitors() = default;
  virtual MonitorToken addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) = 0;
  virtual MonitorToken addLocalMonitor(EventMask mask, std::function<std::optional<Event>(const Event&)> handler) = 0;
  virtual void removeMonitor(MonitorToken token) = 0;
};

}  // namespace vimbo::platform
