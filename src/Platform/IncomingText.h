#pragma once
// Text that other applications hand us (window and owner names, accessibility texts, application
// names and bundle identifiers) may hold any bytes. Each platform implementation passes what it
// returns through these once, so the system only ever sees valid UTF-8: an ill-formed sequence
// becomes U+FFFD, and well-formed text is left as it is.

#include <optional>
#include <vector>

#include "Platform/Accessibility.h"
#include "Platform/WindowServer.h"
#include "Platform/Workspace.h"

namespace vimbo::platform {

void makeTextValid(WindowInfo& window);
void makeTextValid(std::optional<std::vector<WindowInfo>>& windows);
void makeTextValid(AXCopyResult& result);
void makeTextValid(RunningApplication& application);
void makeTextValid(std::vector<RunningApplication>& applications);

}  // namespace vimbo::platform
