#include "Views/SettingsSection.h"

namespace vimbo {

std::string_view title(SettingsSection section) {
  switch (section) {
    case SettingsSection::general: return "通用";
    case SettingsSection::systemItems: return "系统项目";
    case SettingsSection::menuBarLayout: return "菜单栏布局";
    case SettingsSection::about: return "关于";
  }
  return {};
}

std::string_view symbolName(SettingsSection section) {
  switch (section) {
    case SettingsSection::general: return "gearshape";
    case SettingsSection::systemItems: return "list.bullet.rectangle";
    case SettingsSection::menuBarLayout: return "rectangle.3.group.fill";
    case SettingsSection::about: return "info.circle";
  }
  return {};
}

std::optional<SettingsSection> settingsSectionFromTitle(std::string_view text) {
  for (auto section : allSettingsSections) {
    if (title(section) == text) return section;
  }
  return std::nullopt;
}

}  // namespace vimbo
