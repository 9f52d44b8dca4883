#include "Views/ApplicationIcon.h"

#include <array>
#include <string_view>

namespace vimbo {

namespace {

// Names that belong to the system as a whole, not to one application.
constexpr std::array<std::string_view, 5> kSystemNames{"系统项目", "控制中心", "时钟", "Clock", "BentoBox-0"};

bool isCandidate(const std::string& name) {
  if (name.empty()) return false;
  for (std::string_view system : kSystemNames)
    if (name == system) return false;
  return true;
}

platform::ImageRef emptyIcon() {
  const int side = int(kApplicationIconSide);
  return platform::Image::make({kApplicationIconSide, kApplicationIconSide}, side, side,
                               std::vector<std::uint8_t>(std::size_t(side) * side * 4, 0));
}

// A new picture with the same pixels at 26 x 26 points; the workspace's object stays as it is.
platform::ImageRef resized(const platform::ImageRef& image) {
  if (!image) return emptyIcon();
  auto copy = platform::Image::make({kApplicationIconSide, kApplicationIconSide}, image->pixelWidth(),
                                    image->pixelHeight(), image->pixels(), image->isTemplate(),
                                    image->accessibilityDescription());
  return copy ? copy : emptyIcon();
}

platform::ImageRef iconOfOnlyApplicationNamed(const std::string& name, const platform::Workspace& workspace) {
  const platform::RunningApplication* match = nullptr;
  const auto running = workspace.runningApplications();
  for (const auto& app : running) {
    if (!app.localizedName || *app.localizedName != name) continue;
    if (match) return nullptr;  // the name is ambiguous
    match = &app;
  }
  return match ? match->icon.get() : nullptr;
}

}  // namespace

ApplicationIcon applicationIcon(const CapturedMenuBarItem& item, const platform::Workspace& workspace) {
  for (const std::string* candidate : {&item.name, &item.ownerName}) {
    if (!isCandidate(*candidate)) continue;
    if (auto icon = iconOfOnlyApplicationNamed(*candidate, workspace)) return {resized(icon), std::nullopt};
  }
  if (!item.ownerBundleIdentifier.empty()) {
    if (auto url = workspace.urlForApplication(item.ownerBundleIdentifier))
      return {resized(workspace.iconForFile(*url)), std::nullopt};
  }
  std::string symbol = item.ownerBundleIdentifier.starts_with("com.apple.") ? "apple.logo" : "app.dashed";
  return {resized(platform::Image::symbol(symbol, item.ownerName)), symbol};
}

}  // namespace vimbo
