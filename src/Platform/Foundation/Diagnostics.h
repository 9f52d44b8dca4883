#pragma once
// Failures that no window shows (a write that did not reach the disk, a record that could not be
// stored) go to stderr, each distinct message once per process, so a retry at every change does
// not flood it.

#include <functional>
#include <string>

namespace vimbo::platform {

// Prints "Vimbo: <message>" on stderr unless the same message was printed before. True when printed.
bool reportOnce(const std::string& message);

// What happened to the person's own settings (a file set aside or unreadable, a write that failed)
// must also reach someone who never sees stderr: said like reportOnce and, the first time, handed
// to the handler the desktop installs to show it. True when said.
bool reportToUser(const std::string& message);
// Installs the handler (an empty one removes it). It runs on the reporting thread, inside the
// code that reported, so it should only take note and show the report later.
void setUserReportHandler(std::function<void(const std::string&)> handler);
// Forgets what was printed (tests).
void forgetReportsForTesting();

}  // namespace vimbo::platform
