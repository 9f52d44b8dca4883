#pragma once
// What the hover controls of the general page show and write, without a widget: the three timing
// rows on integer slider ticks, their displayed values, which parts are enabled and how dim, and
// the reset of the hover values. The store's clamping setters are the only writers.

#include <string>
#include <string_view>

#include "Store/MenuBarStore.h"

namespace vimbo {

enum class HoverTiming { samplingInterval, revealDelay, collapseDelay };

struct HoverTimingSpec {
  std::string_view title;
  double lowerBound;  // seconds
  double upperBound;
  double step;
  std::string_view leadingHint;
  std::string_view trailingHint;
};

const HoverTimingSpec& hoverTimingSpec(HoverTiming timing);

// Sliders run over ticks 0...maxTick; tick i stands for lowerBound + i × step.
int hoverTimingMaxTick(HoverTiming timing);
double hoverTimingValue(HoverTiming timing, int tick);
// The tick nearest a stored value (which may lie between ticks), within the slider's range.
int hoverTimingNearestTick(HoverTiming timing, double seconds);

double storedHoverTiming(const MenuBarStore& store, HoverTiming timing);
// Through the store's clamping setter: sanitised, published and saved.
void writeHoverTiming(MenuBarStore& store, HoverTiming timing, double seconds);

// "150 毫秒": milliseconds rounded half away from zero.
std::string hoverTimingDisplay(double seconds);

std::string_view hoverDetectionMethodTitle(HoverDetectionMethod method);
std::string_view hoverDetectionMethodNote(HoverDetectionMethod method);

// A control that does not apply now stays visible, disabled and dimmed.
inline constexpr double inapplicableControlOpacity = 0.55;

struct HoverControlsState {
  bool expansionEnabled = true;  // the interval and reveal rows and their notes
  double expansionOpacity = 1;
  bool intervalEnabled = true;   // within the expansion group
  double intervalOpacity = 1;    // its own, before the group's dimming
  bool showsIntervalNote = false;
  bool collapseDelayEnabled = true;
  double collapseDelayOpacity = 1;

  // What the interval row ends up at on screen: nested dimming multiplies.
  double intervalEffectiveOpacity() const { return expansionOpacity * intervalOpacity; }
  bool intervalEffectivelyEnabled() const { return expansionEnabled && intervalEnabled; }
};

HoverControlsState hoverControlsState(bool expandOnHover, HoverDetectionMethod method, bool collapseOnPointerExit);
HoverControlsState hoverControlsState(const MenuBarStore& store);

// Timings back to 0.05 / 0.15 / 0.4 and collapse on; hover expansion and the method stay.
void resetHoverDefaults(MenuBarStore& store);

}  // namespace vimbo
