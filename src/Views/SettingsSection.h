#pragma once
// The four pages of the settings window, in sidebar order. A page's title is its identity.

#include <array>
#include <optional>
#include <string_view>

namespace vimbo {

enum class SettingsSection { general, systemItems, menuBarLayout, about };

inline constexpr std::array<SettingsSection, 4> allSettingsSections{
    SettingsSection::general, SettingsSection::systemItems, SettingsSection::menuBarLayout, SettingsSection::about};

std::string_view title(SettingsSection section);
std::string_view symbolName(SettingsSection section);
// Exactly one of the four titles, compared byte for byte.
std::optional<SettingsSection> settingsSectionFromTitle(std::string_view title);

}  // namespace vimbo
