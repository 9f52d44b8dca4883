// The person harness: seeded random rounds in which a simulated person acts while Vimbo moves
// other applications' items, counting what became of the person's input and of our operations.
//
// Each seed picks a world and runs a few rounds. A round launches Vimbo afresh, then runs one
// operation (a pin, a collect, a layout apply, an opening of a collected item, or a start-up
// restore of saved pins), with a fault of the world switched on in about half of them; during the
// first 1.5 s the person acts 0 to 3 times (clicks on the control item, hot keys, hovering,
// Escape, clicks on an item, anywhere along the bar, just under it or on the desktop, a
// Command-drag of an item). The same round runs again
// with the person's hands still, so that what the person caused can be told from what the fault
// did. Everything runs on the virtual clock: a seed gives the same counts every time.
//
// A second mode counts how often a person's reordering of restored pins is kept when one saved
// pin's application was absent at start; and, in starts of another kind, how often the saved pins
// keep their order when two of their applications start after us (once the restore has ended)
// while the person does nothing.
//
//   scripts/person-harness [--seeds N] [--first-seed S] [--rounds R] [--worlds a,b] [--starts N]
//                          [--late-starts N] [--only rounds|starts] [--jobs J] [--verbose]
//                          [--list-worlds]
//
// By default 600 seeds from 1, spread over six worlds, 4 rounds each, then 200 starts of each
// kind (--late-starts defaults to --starts), in 4 worker processes (the counts do not depend on
// how many). --verbose writes a line for each round and start to stderr.
//
// It is a measuring tool, not a test: it asserts nothing and exits 0 whatever it counts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Rounds.h"

namespace {

using vimbo::harness::HarnessWorld;
using vimbo::harness::Tally;

struct Options {
  int seeds = 600;
  uint64_t firstSeed = 1;
  int rounds = 4;
  int starts = 200;
  int lateStarts = -1;  // as many as starts
  int jobs = 4;
  bool runRounds = true, runStarts = true;
  bool verbose = false;
  std::vector<std::string> worlds;
};

// The fixtures check themselves with gtest's assertions; outside a test those are only counted.
class ComplaintCounter : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (result.failed()) vimbo::harness::noteFixtureComplaint();
  }
};

std::vector<std::string> split(const std::string& list) {
  std::vector<std::string> out;
  std::stringstream in(list);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) out.push_back(part);
  return out;
}

void usage() {
  std::cerr << "usage: person_harness [--seeds N] [--first-seed S] [--rounds R] [--worlds a,b] [--starts N]\n"
               "                      [--late-starts N] [--only rounds|starts] [--jobs J] [--verbose]\n"
               "                      [--list-worlds]\n";
}

struct Results {
  Tally all, noFault, starts, lateStarts;
};

// The share of the run that job `job` of `jobs` does: every jobs-th seed, and every jobs-th start
// of each kind. The seed alone names the world (among those of the run), so any seed can be run
// again alone.
Results runShare(const Options& o, const std::vector<HarnessWorld>& worlds, int job, int jobs) {
  Results r;
  if (o.runRounds) {
    for (int i = job; i < o.seeds; i += jobs) {
      const uint64_t seed = o.firstSeed + static_cast<uint64_t>(i);
      vimbo::harness::runSeed(seed, worlds[seed % worlds.size()], o.rounds, r.all, r.noFault, o.verbose);
      if (job == 0 && (i / jobs) % 25 == 24) std::cerr << "rounds: seed " << i + 1 << " of " << o.seeds << '\n';
    }
  }
  if (o.runStarts) {
    for (int i = job; i < o.starts; i += jobs) {
      const uint64_t seed = o.firstSeed + static_cast<uint64_t>(i);
      vimbo::harness::runStart(seed, worlds[seed % worlds.size()], r.starts, o.verbose);
      if (job == 0 && (i / jobs) % 25 == 24) std::cerr << "starts: " << i + 1 << " of " << o.starts << '\n';
    }
    for (int i = job; i < o.lateStarts; i += jobs) {
      const uint64_t seed = o.firstSeed + static_cast<uint64_t>(i);
      vimbo::harness::runLateStart(seed, worlds[seed % worlds.size()], r.lateStarts, o.verbose);
      if (job == 0 && (i / jobs) % 25 == 24) std::cerr << "late starts: " << i + 1 << " of " << o.lateStarts << '\n';
    }
  }
  return r;
}

std::string serialize(const Results& r) {
  return r.all.text() + "=\n" + r.noFault.text() + "=\n" + r.starts.text() + "=\n" + r.lateStarts.text();
}

Results deserialize(const std::string& text) {
  std::vector<std::string> parts(1);
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line == "=") parts.emplace_back();
    else parts.back() += line + '\n';
  }
  parts.resize(4);
  return {Tally::fromText(parts[0]), Tally::fromText(parts[1]), Tally::fromText(parts[2]), Tally::fromText(parts[3])};
}

// Splits the run over worker processes (the fixtures are single-threaded and keep a little global
// state); the counts are sums and maxima, so the result does not depend on the split.
Results runAll(const Options& o, const std::vector<HarnessWorld>& worlds) {
  if (o.jobs <= 1) return runShare(o, worlds, 0, 1);
  std::vector<std::pair<pid_t, int>> children;
  for (int job = 0; job < o.jobs; ++job) {
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const std::string text = serialize(runShare(o, worlds, job, o.jobs));
      size_t written = 0;
      while (written < text.size()) {
        const ssize_t n = write(fds[1], text.data() + written, text.size() - written);
        if (n <= 0) _exit(1);
        written += static_cast<size_t>(n);
      }
      close(fds[1]);
      _exit(0);
    }
    close(fds[1]);
    children.emplace_back(pid, fds[0]);
  }
  Results total;
  for (const auto& [pid, fd] : children) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::cerr << "a worker process failed\n";
      std::exit(1);
    }
    const Results part = deserialize(text);
    total.all.merge(part.all);
    total.noFault.merge(part.noFault);
    total.starts.merge(part.starts);
    total.lateStarts.merge(part.lateStarts);
  }
  return total;
}

void row(const std::string& label, const std::string& all, const std::string& noFault = "") {
  std::cout << std::left << std::setw(66) << label << std::right << std::setw(12) << all << std::setw(12) << noFault << '\n';
}

void counts(const Results& r, const std::string& label, const std::string& name) {
  row(label, std::to_string(r.all[name]), std::to_string(r.noFault[name]));
}

void twoCounts(const Results& r, const std::string& label, const std::string& a, const std::string& b) {
  row(label, std::to_string(r.all[a]) + " / " + std::to_string(r.all[b]),
      std::to_string(r.noFault[a]) + " / " + std::to_string(r.noFault[b]));
}

void printRounds(const Options& o, const Results& r, const std::vector<HarnessWorld>& worlds) {
  std::cout << "Person during our moves: seeds " << o.firstSeed << ".." << o.firstSeed + static_cast<uint64_t>(o.seeds) - 1
            << ", " << o.rounds << " rounds each, over";
  for (const auto& w : worlds) std::cout << ' ' << w.name;
  std::cout << "\n\n";
  row("", "all rounds", "no fault");
  counts(r, "rounds", "rounds");
  counts(r, "  in which the person acted", "roundsWithActs");
  for (const char* op : {"pin", "collect", "layout-apply", "opening", "restore"})
    counts(r, std::string("  ") + op, std::string("rounds.") + op);
  counts(r, "person's acts", "acts");
  std::cout << '\n';
  counts(r, "person inputs made", "made");
  counts(r, "  held (taken by our hold)", "held");
  for (const char* op : {"pin", "collect", "layout-apply", "opening", "restore"})
    counts(r, std::string("    in ") + op + " rounds", std::string("held.") + op);
  counts(r, "  never routed: dropped by suppression (never reached the taps)", "suppressed");
  counts(r, "  never routed: held, posted again, and taken again or lost", "heldPostedNotRouted");
  counts(r, "  never routed: held, neither posted again nor given up", "heldNeverRouted");
  counts(r, "  dropped by design (held; its gesture's window left the screen)", "droppedByDesign");
  counts(r, "held gestures (press taken by our hold)", "heldGestures");
  counts(r, "  dropped whole (press and the rest)", "gesturesDropped");
  counts(r, "  press dropped, some of the rest routed", "gesturesPartlyDropped");
  counts(r, "held presses", "heldPresses");
  counts(r, "  made on the notch", "heldPressesMadeOnNotch");
  counts(r, "  posted again and routed", "heldPressesRouted");
  counts(r, "  delivered to a window other than the one made on", "pressesElsewhere");
  counts(r, "    of which onto a menu", "elsewhereOnMenu");
  counts(r, "    of which onto one of our own windows or items", "elsewhereOnOurs");
  counts(r, "    of which onto no window (the notch, off the displays)", "elsewhereOnNothing");
  counts(r, "    of which made on the notch", "elsewhereMadeOnNotch");
  counts(r, "held Command-drags of the person's", "heldCommandDrags");
  counts(r, "  dropped whole", "commandDragsDropped");
  counts(r, "  let go elsewhere than the person let go", "commandDropsElsewhere");
  counts(r, "inputs routed out of the order made", "outOfOrder");
  std::cout << '\n';
  counts(r, "longest hold (ms)", "longestHoldMs");
  counts(r, "holds longer than 2 s", "holdsOver2s");
  counts(r, "rounds ending while our hold still holds", "holdNotEnded");
  counts(r, "rounds ending with a mouse button down", "buttonLeftDown");
  counts(r, "rounds ending with Command held", "commandLeftDown");
  counts(r, "rounds ending with a session tap left (besides the harness's)", "tapsLeft");
  counts(r, "rounds ending with the cursor hidden", "cursorLeftHidden");
  std::cout << '\n';
  counts(r, "operations failed, with the person", "failed");
  counts(r, "operations failed, hands still", "failedStill");
  counts(r, "  failed only with the person", "failedOnlyWithPerson");
  counts(r, "    of which the person had Command-dragged an item", "failedOnlyWithPersonAfterDrag");
  counts(r, "  failed only with hands still", "failedOnlyStill");
  counts(r, "  failed both ways, but with another sentence or side", "failedDifferently");
  for (const char* op : {"pin", "collect", "layout-apply", "opening", "restore"})
    twoCounts(r, std::string("  ") + op + ": failed with the person / hands still", std::string("failed.") + op,
         std::string("failedStill.") + op);
  twoCounts(r, "operations unfinished within 60 s, with the person / hands still", "unfinished", "unfinishedStill");
  twoCounts(r, "ended elsewhere than with hands still / rounds compared", "endedElsewhere", "comparable");
  std::cout << '\n';
  counts(r, "hands still: longest hold (ms)", "still.longestHoldMs");
  counts(r, "hands still: holds longer than 2 s", "still.holdsOver2s");
  const auto leftovers = [](const Tally& t) {
    return std::to_string(t["still.buttonLeftDown"]) + " / " + std::to_string(t["still.commandLeftDown"]) + " / " +
           std::to_string(t["still.tapsLeft"]);
  };
  row("hands still: rounds ending with a button down / Command / a tap", leftovers(r.all), leftovers(r.noFault));
  counts(r, "fixture complaints (the test fixtures' own checks)", "fixtureComplaints");
  std::cout << "\nfaults switched on:";
  for (const auto& [name, n] : r.all.sums)
    if (name.rfind("fault.", 0) == 0) std::cout << ' ' << name.substr(6) << ' ' << n << ';';
  std::cout << "\nacts made:";
  for (const auto& [name, n] : r.all.sums)
    if (name.rfind("act.", 0) == 0) std::cout << ' ' << name.substr(4) << ' ' << n << ';';
  std::cout << '\n';
}

void printStarts(const Options& o, const Results& r) {
  const Tally& s = r.starts;
  std::cout << "\nStarts with one saved pin's application absent: " << o.starts << " starts (seeds " << o.firstSeed << ".."
            << o.firstSeed + static_cast<uint64_t>(o.starts) - 1 << ")\n\n";
  const auto line = [&](const std::string& label, const std::string& name) { row(label, std::to_string(s[name])); };
  line("starts run", "starts");
  line("  three pins saved by the first session (the rest go no further)", "threePinsSaved");
  line("  restore ended within 20 s", "restoreEnded");
  line("  both present pins back in the bar", "bothPinsRestored");
  line("    in the saved order", "restoredInSavedOrder");
  line("  the person's Command-drag reordered them", "dragTook");
  line("the person's order kept in the saved list after a refresh and quit", "personOrderKept");
  line("  the restored order kept instead", "restoredOrderKept");
  line("  the absent pin still in the saved list", "absentPinKept");
}

void printLateStarts(const Options& o, const Results& r) {
  const Tally& s = r.lateStarts;
  std::cout << "\nStarts with two pinned applications late, the person doing nothing: " << o.lateStarts << " starts (seeds "
            << o.firstSeed << ".." << o.firstSeed + static_cast<uint64_t>(o.lateStarts) - 1 << ")\n\n";
  const auto line = [&](const std::string& label, const std::string& name) { row(label, std::to_string(s[name])); };
  const auto pair = [&](const std::string& label, const std::string& a, const std::string& b) {
    row(label, std::to_string(s[a]) + " / " + std::to_string(s[b]));
  };
  line("starts run", "starts");
  line("  three pins saved by the first session (the rest go no further)", "threePinsSaved");
  line("  restore ended within 20 s", "restoreEnded");
  line("  the pin present at start back in the bar after the restore", "presentPinRestored");
  line("late pins (two a start)", "latePins");
  line("  appeared on the collected side", "latePinsAppearedCollected");
  line("    put back by us (shown at the quit)", "latePinsPutBack");
  line("  shown at the quit", "latePinsShown");
  line("saved order unchanged after the quit (same pins, same order)", "savedUnchanged");
  line("saved order changed", "savedChanged");
  line("  the same pins in another order", "savedReordered");
  line("  other pins", "savedOtherPins");
  line("  in a start in which we put a late pin back", "changedAfterPutBack");
  for (const auto& [look, label] : {std::pair{"first-capture", "the first capture's refresh alone"},
                                     std::pair{"quick-search", "a quick search opening"},
                                     std::pair{"manager-refresh", "the manager's refresh"}})
    pair(std::string("changed / starts, after ") + label, std::string("changed.") + look,
         std::string("look.") + look);
  std::cout << "\nlate applications' places (starts changed / applications put there):";
  for (const auto& [name, n] : s.sums) {
    if (name.rfind("place.", 0) != 0) continue;
    const std::string place = name.substr(6);
    std::cout << ' ' << place << ' ' << s["changedWithPlace." + place] << '/' << n << ';';
  }
  std::cout << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--seeds") o.seeds = std::stoi(value());
    else if (arg == "--first-seed") o.firstSeed = std::stoull(value());
    else if (arg == "--rounds") o.rounds = std::stoi(value());
    else if (arg == "--starts") o.starts = std::stoi(value());
    else if (arg == "--late-starts") o.lateStarts = std::stoi(value());
    else if (arg == "--jobs") o.jobs = std::max(1, std::stoi(value()));
    else if (arg == "--worlds") o.worlds = split(value());
    else if (arg == "--verbose") o.verbose = true;
    else if (arg == "--only") {
      const std::string only = value();
      o.runRounds = only == "rounds";
      o.runStarts = only == "starts";
    } else if (arg == "--list-worlds") {
      for (const auto& name : vimbo::harness::allWorldNames()) std::cout << name << '\n';
      return 0;
    } else {
      usage();
      return arg == "--help" ? 0 : 2;
    }
  }
  if (o.lateStarts < 0) o.lateStarts = o.starts;
  const std::vector<HarnessWorld> worlds = vimbo::harness::harnessWorlds(o.worlds);
  if (worlds.empty()) {
    std::cerr << "no worlds to run\n";
    return 2;
  }
  auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
  delete listeners.Release(listeners.default_result_printer());
  listeners.Append(new ComplaintCounter);

  const Results r = runAll(o, worlds);
  if (o.runRounds) printRounds(o, r, worlds);
  if (o.runStarts) {
    printStarts(o, r);
    if (o.lateStarts > 0) printLateStarts(o, r);
  }
  return 0;
}
