#include "Views/HoverSettingsModel.h"

#include <algorithm>
#include <cmath>

namespace vimbo {

const HoverTimingSpec& hoverTimingSpec(HoverTiming timing) {
  static const HoverTimingSpec interval{"悬停检测间隔", 0.02, 0.2, 0.01, "更灵敏", "更省电"};
  static const HoverTimingSpec reveal{"展开延迟", 0.05, 1.0, 0.05, "更快触发", "更稳触发"};
  static const HoverTimingSpec collapse{"收起延迟", 0.2, 2.0, 0.1, "更快收起", "更稳保持"};
  switch (timing) {
    case HoverTiming::samplingInterval: return interval;
    case HoverTiming::revealDelay: return reveal;
    case HoverTiming::collapseDelay: return collapse;
  }
  return interval;
}

int hoverTimingMaxTick(HoverTiming timing) {
  const auto& spec = hoverTimingSpec(timing);
  return static_cast<int>(std::lround((spec.upperBound - spec.lowerBound) / spec.step));
}

double hoverTimingValue(HoverTiming timing, int tick) {
  const auto& spec = hoverTimingSpec(timing);
  tick = std::clamp(tick, 0, hoverTimingMaxTick(timing));
  // Rounded to microseconds so that tick arithmetic lands on the decimal value (0.05 + 19 × 0.05
  // is a hair above 1.0 otherwise).
  return std::round((spec.lowerBound + tick * spec.step) * 1e6) / 1e6;
}

int hoverTimingNearestTick(HoverTiming timing, double seconds) {
  const auto& spec = hoverTimingSpec(timing);
  if (!std::isfinite(seconds)) return 0;
  const long tick = std::lround((seconds - spec.lowerBound) / spec.step);
  return static_cast<int>(std::clamp<long>(tick, 0, hoverTimingMaxTick(timing)));
}

double storedHoverTiming(const MenuBarStore& store, HoverTiming timing) {
  switch (timing) {
    case HoverTiming::samplingInterval: return store.hoverSamplingInterval.get();
    case HoverTiming::revealDelay: return store.hoverRevealDelay.get();
    case HoverTiming::collapseDelay: return store.hoverCollapseDelay.get();
  }
  return 0;
}

void writeHoverTiming(MenuBarStore& store, HoverTiming timing, double seconds) {
  switch (timing) {
    case HoverTiming::samplingInterval: store.setHoverSamplingInterval(seconds); break;
    case HoverTiming::revealDelay: store.setHoverRevealDelay(seconds); break;
    case HoverTiming::collapseDelay: store.setHoverCollapseDelay(seconds); break;
  }
}

std::string hoverTimingDisplay(double seconds) {
  // The store keeps timings finite and within two seconds, so the conversion cannot overflow.
  const double ms = std::isfinite(seconds) ? std::clamp(seconds * 1000, -1e9, 1e9) : 0;
  return std::to_string(std::lround(ms)) + " 毫秒";
}

std::string_view hoverDetectionMethodTitle(HoverDetectionMethod method) {
  return method == HoverDetectionMethod::eventDriven ? "事件驱动" : "定时检测";
}

std::string_view hoverDetectionMethodNote(HoverDetectionMethod method) {
  return method == HoverDetectionMethod::eventDriven ? "进入或离开 Vimbo 图标时响应；不使用检测间隔。"
                                                     : "按检测间隔检查指针位置，适合作为兼容模式。";
}

HoverControlsState hoverControlsState(bool expandOnHover, HoverDetectionMethod method, bool collapseOnPointerExit) {
  const bool eventDriven = method == HoverDetectionMethod::eventDriven;
  HoverControlsState state;
  state.expansionEnabled = expandOnHover;
  state.expansionOpacity = expandOnHover ? 1 : inapplicableControlOpacity;
  state.intervalEnabled = !eventDriven;
  state.intervalOpacity = eventDriven ? inapplicableControlOpacity : 1;
  state.showsIntervalNote = eventDriven;
  state.collapseDelayEnabled = collapseOnPointerExit;
  state.collapseDelayOpacity = collapseOnPointerExit ? 1 : inapplicableControlOpacity;
  return state;
}

HoverControlsState hoverControlsState(const MenuBarStore& store) {
  return hoverControlsState(store.expandOnHover.get(), store.hoverDetectionMethod.get(),
                            store.collapseOnPointerExit.get());
}

void resetHoverDefaults(MenuBarStore& store) {
  store.setHoverSamplingInterval(0.05);
  store.setHoverRevealDelay(0.15);
  store.setHoverCollapseDelay(0.4);
  store.collapseOnPointerExit.set(true);
}

}  // namespace vimbo
