#include "Platform/IncomingText.h"

#include "Platform/Foundation/Text.h"

namespace vimbo::platform {

namespace {
void fix(std::string& s) {
  if (!text::isValidUTF8(s)) s = text::validUTF8(s);
}
void fix(std::optional<std::string>& s) {
  if (s) fix(*s);
}
}  // namespace

void makeTextValid(WindowInfo& window) {
  for (auto& [key, value] : window.fields) {
    if (auto* s = std::get_if<std::string>(&value)) fix(*s);
  }
}

void makeTextValid(std::optional<std::vector<WindowInfo>>& windows) {
  if (!windows) return;
  for (auto& w : *windows) makeTextValid(w);
}

void makeTextValid(AXCopyResult& result) {
  if (!result.value) return;
  // Arrays nest (children of children); walk them without recursion.
  std::vector<AXValue*> pending{&*result.value};
  while (!pending.empty()) {
    AXValue* v = pending.back();
    pending.pop_back();
    if (auto* s = std::get_if<std::string>(&v->value)) {
      fix(*s);
    } else if (auto* a = std::get_if<AXArray>(&v->value)) {
      for (auto& e : *a) pending.push_back(&e);
    }
  }
}

void makeTextValid(RunningApplication& application) {
  fix(application.localizedName);
  fix(application.bundleIdentifier);
}

void makeTextValid(std::vector<RunningApplication>& applications) {
  for (auto& a : applications) makeTextValid(a);
}

}  // namespace vimbo::platform
