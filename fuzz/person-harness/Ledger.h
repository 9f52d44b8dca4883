#pragma once
// The record of one round's person input, kept from outside our code: what the person made, what
// our hold took, and where each taken event went when it was posted again. It reads only what the
// simulated desktop shows anyone (its first session tap, its late-delivery observer, its window
// list) and whether our hold holds, so it measures any hold that keeps the platform's contract.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/SimPlatform.h"
#include "Tally.h"

namespace vimbo::harness {

class Ledger {
 public:
  // Takes the world's first session tap and its late-delivery observer: make it before our code
  // launches, so that its tap sees every event before our hold's does.
  Ledger(async::Executor& executor, sim::World& world, const sim::SimInputHold& hold);
  ~Ledger();
  Ledger(const Ledger&) = delete;
  Ledger& operator=(const Ledger&) = delete;

  // A person's event, made now. A gesture is a press and what follows it up to its release.
  int newGesture() { return nextGesture_++; }
  void mouse(platform::EventType type, Point location, platform::EventFlags flags = 0, int gesture = -1);
  void key(uint16_t keyCode, bool down, platform::EventFlags flags = 0);

  // Adds this round's counts to the tally; call once, when the round has settled. A press is
  // "made on" the window it reaches where and when the person made it, and "delivered to" the one
  // at the point where it is routed when posted again (windowNumberAt either way: menus, our
  // windows, items, the bar, the desktop; the notch and off the displays count as no window).
  // Out of order: routed after an input made later than it had been routed.
  void finish(Tally& tally);

 private:
  struct Input {
    platform::EventType type = platform::EventType::Null;
    int gesture = -1;
    bool press = false;
    bool command = false;  // made with Command: the person rearranging the bar
    Point made;            // where the person made it
    std::optional<Point> postedAt;  // where it was posted again
    std::optional<uint32_t> madeOn;  // the window the press reached where and when it was made
    bool madeOnNotch = false;
    uint64_t number = 0;  // the world's, once seen
    bool seen = false;  // reached the session taps (past the HID system's suppression)
    bool held = false;  // taken by our hold
    bool postedAgain = false;
    bool routedLate = false;
    bool discarded = false;  // heard of as taken and never routed
    std::optional<uint32_t> deliveredTo;
    bool deliveredToMenu = false, deliveredToOurs = false;
  };
  bool seeAtTap(const platform::Event& e);
  void heardLate(uint64_t number, sim::InputDelivery delivered);
  void make(Input input, const std::function<sim::InputDelivery()>& post);
  std::optional<uint32_t> pressTarget(Point p) const;
  void sampleHold();

  async::Executor& executor_;
  sim::World& world_;
  const sim::SimInputHold& hold_;
  sim::World::TapToken tap_ = 0;
  std::vector<Input> inputs_;
  std::map<uint64_t, size_t> byNumber_;  // the world's input number -> index into inputs_
  std::optional<size_t> making_;         // the input being made now
  uint64_t lastMade_ = 0;                // numbers of fresh input only grow
  std::vector<uint64_t> routedOrder_;    // input numbers in the order they were routed
  int nextGesture_ = 0;

  // The hold, sampled every few milliseconds of virtual time.
  async::TimerId sampler_ = 0;
  std::optional<async::TimePoint> holdingSince_;
  async::Duration longestHold_{};
  int64_t holdsOverLimit_ = 0;
};

}  // namespace vimbo::harness
