#pragma once
// The sentences the item operations leave in the store's last error. {name} is the item's display
// name, inserted unchanged (also when empty).

#include <string>
#include <string_view>
#include <vector>

namespace vimbo::operation_text {

inline std::string quoted(std::string_view before, std::string_view name, std::string_view after) {
  std::string text;
  text.reserve(before.size() + name.size() + after.size() + 6);
  text.append(before).append("“").append(name).append("”").append(after);
  return text;
}

// The single move.
inline constexpr const char* moveUnsupported = "当前 macOS 版本不支持移动菜单栏项目；已保持菜单栏展开。";
inline constexpr const char* keptExpandedSuffix = " 当前菜单栏无法收纳，已保持展开。";
inline std::string dividerNotFound(std::string_view name) { return quoted("无法定位 Vimbo.HiddenDivider，未移动", name, "。"); }
inline std::string moveRefused(std::string_view name) {
  return quoted("无法移动", name, "。请在系统设置中允许 Vimbo 使用辅助功能后重试。");
}
inline std::string notOnTargetSide(std::string_view name) {
  return quoted("移动", name, "后未检测到它位于 Vimbo.HiddenDivider 的目标侧。");
}
inline std::string movedButNotCollapsed(std::string_view name) {
  return quoted("", name, "已移动，但无法恢复菜单栏收纳；已保持菜单栏展开。");
}
// The mover stopped before it dropped the item: its turn or the move was given up.
inline std::string moveGivenUp(std::string_view name) { return quoted("移动", name, "的操作已中止，请重试。"); }
inline std::string notConfirmedCollapsed(std::string_view name) {
  return quoted("未能确认", name, "在收纳状态下位于目标侧。");
}
// The item stands where no press can reach it (beyond the screen's edge, or covered).
inline std::string notPressable(std::string_view name) {
  return quoted("", name, "不在菜单栏中可以点按的位置，无法移动或打开。");
}

// Fixed items.
inline constexpr const char* clockIsFixed = "时钟由 macOS 固定，无法收纳";
inline constexpr const char* controlCenterIsFixed = "控制中心由 macOS 固定，无法收纳";
inline std::string fixedRefusal(std::string_view windowName) {
  return windowName == "Clock" ? clockIsFixed : controlCenterIsFixed;
}

// Pin and collect. Where items can be seen is right of the notch, or on a screen without one,
// the shown part of the bar.
inline std::string seenSide(bool notched) { return notched ? "刘海右侧" : "菜单栏显示区域"; }
inline std::string noRoomRightOfNotch(std::string_view name, bool notched) {
  return quoted("常驻", name, "需要的" + seenSide(notched) + "空间不足，且没有可安全收纳的项目。");
}
// How a failed pin ends for the residents it swapped out: all pinned again, or the ones that
// could not be put back named (they are no longer pinned).
inline std::string residentsAfterFailedPin(const std::vector<std::string>& notRestored) {
  if (notRestored.empty()) return "已恢复原有常驻状态。";
  std::string names;
  for (const auto& resident : notRestored) names += quoted(names.empty() ? "" : "、", resident, "");
  return "且未能恢复" + names + "的常驻状态。";
}
inline std::string swapOutFailed(std::string_view name, bool notched, const std::vector<std::string>& notRestored = {}) {
  return quoted("无法为", name, "腾出" + seenSide(notched) + "空间，" + residentsAfterFailedPin(notRestored));
}
inline std::string pinPlacementFailed(std::string_view name, bool notched, const std::vector<std::string>& notRestored = {}) {
  return quoted("无法将", name, "安全放入" + seenSide(notched) + "，" + residentsAfterFailedPin(notRestored));
}
// The pin's own move failed because the bar would not be revealed for it, or not collapsed again
// after it (the item has then been taken back).
inline std::string pinBarRefused(std::string_view name, bool notched, bool afterTheMove,
                                 const std::vector<std::string>& notRestored = {}) {
  return quoted("无法将", name,
                (afterTheMove ? "留在" : "放入") + seenSide(notched) + "：菜单栏未能" +
                    (afterTheMove ? "重新收纳，" : "展开，") + residentsAfterFailedPin(notRestored));
}
inline std::string noStableIdentity(std::string_view name) {
  return quoted("无法为", name, "找到稳定标识；已保留当前位置，重启后不会自动移动同名项目。");
}

// Activation.
inline constexpr const char* accessibilityNeededToPress = "需要在系统设置中允许 Vimbo 使用辅助功能；授权后请再点一次。";
inline constexpr const char* putBackFailed = "这个菜单栏项目无法安全移回收纳区，已暂时展开全部项目。";

// Layout apply and order alignment.
inline constexpr const char* itemsChanged = "菜单栏项目已更新，请刷新后重试。";
inline std::string notchRoomLost(bool notched) { return seenSide(notched) + "空间不足，已保持可重试状态。"; }
inline constexpr const char* layoutNotSaved = "无法保存菜单栏布局，请刷新后重试。";
inline constexpr const char* orderUnknown = "未能确认当前菜单栏项目顺序，请刷新后重试。";
inline constexpr const char* orderExpandRefused = "无法展开菜单栏以整理项目。";
inline constexpr const char* orderMovedButNotCollapsed = "项目已移动，但无法恢复菜单栏收纳。";
inline constexpr const char* orderNotConfirmed = "整理后未能确认菜单栏项目顺序。";
inline std::string collectFailed(std::string_view name) { return quoted("无法收纳", name, "，请重试。"); }
inline std::string pinFailed(std::string_view name) { return quoted("无法显示", name, "，请重试。"); }
inline std::string pinnedNotOnTargetSide(std::string_view name) { return quoted("移动", name, "后未检测到它位于目标侧。"); }
inline std::string zoneNotRecorded(std::string_view name) { return quoted("无法记录", name, "的当前布局。"); }
inline std::string stillVisible(std::string_view name) { return quoted("未能确认", name, "已离开显示区域。"); }
inline std::string notVisible(std::string_view name) { return quoted("未能确认", name, "位于显示区域。"); }
inline std::string orderMoveFailed(std::string_view name) { return quoted("无法按预览顺序整理", name, "。"); }

}  // namespace vimbo::operation_text
