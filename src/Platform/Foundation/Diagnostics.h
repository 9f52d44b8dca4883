#pragma once
// Failures that no window shows (a write that did not reach the disk, a record that could not be
// stored) go to stderr, each distinct message once per process, so a retry at every change does
// not flood it.

#include <string>

namespace vimbo::platform {

// Prints "Vimbo: <message>" on stderr unless the same message was printed before. True when printed.
bool reportOnce(const std::string& message);
// Forgets what was printed (tests).
void forgetReportsForTesting();

}  // namespace vimbo::platform
