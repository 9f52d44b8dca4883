#pragma once
// The worlds a run spreads over, one seed's rounds (an operation of ours, maybe a fault, and the
// person's acts, run again with the person's hands still), and the starts of the second mode.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Sim/Model.h"
#include "Tally.h"

namespace vimbo::harness {

struct HarnessWorld {
  std::string name;
  std::function<sim::WorldSpec()> make;
};

// Six worlds: the shipped world files (six of them spread over the sorted list where there are
// more), filled up with the test fixtures' worlds where there are fewer. Named ones when given.
std::vector<HarnessWorld> harnessWorlds(const std::vector<std::string>& names);
std::vector<std::string> allWorldNames();

// The seed's rounds: all of them into `all`, those with no fault also into `noFault`. Verbose: a
// line for each round on stderr.
void runSeed(uint64_t seed, const HarnessWorld& world, int rounds, Tally& all, Tally& noFault, bool verbose);

// One start in which a saved pin's application is absent, and the person reorders the others.
// Verbose: how it went, on stderr.
void runStart(uint64_t seed, const HarnessWorld& world, Tally& tally, bool verbose);

// One start in which two saved pins' applications start after us, once the restore has ended, and
// the person does nothing. Verbose: how it went, on stderr.
void runLateStart(uint64_t seed, const HarnessWorld& world, Tally& tally, bool verbose);

// Assertion failures the test fixtures reported so far (the fixtures' own sanity checks).
int64_t fixtureComplaints();
void noteFixtureComplaint();

}  // namespace vimbo::harness
