#pragma once
// The layout editor's state and rules without a widget: the private draft the user arranges, the
// apply and refresh it hands to the controller's closures, drops, toasts, and what each control
// shows. The draft changes only through drops and the four rebuilds (appearance with nothing
// captured, a refresh, a capture that ends while idle, a successful apply).
//
// Owned through a shared_ptr by its page. Every task and timer it starts holds it weakly, so a
// completion that arrives after the page was discarded does nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Models/MenuBarLayout.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Property.h"
#include "Platform/Runtime/Task.h"
#include "Store/MenuBarStore.h"
#include "Views/TransientMessage.h"

namespace vimbo {

std::string_view layoutZoneTitle(MenuBarLayoutZone zone);
std::string_view layoutZoneSymbol(MenuBarLayoutZone zone);

class MenuBarLayoutEditorModel : public std::enable_shared_from_this<MenuBarLayoutEditorModel> {
 public:
  using ApplyLayout = std::function<async::Task<bool>(MenuBarLayoutDraft)>;
  using RefreshItems = std::function<async::Task<void>()>;

  static constexpr std::string_view appliedToast = "已应用菜单栏布局";

  struct StatusLine {
    std::string_view text;
    std::string_view symbol;
  };

  // The draft starts as the store's current layout.
  static std::shared_ptr<MenuBarLayoutEditorModel> make(MenuBarStore& store, async::Executor& executor,
                                                        ApplyLayout applyLayout, RefreshItems refreshItems);
  MenuBarLayoutEditorModel(const MenuBarLayoutEditorModel&) = delete;
  MenuBarLayoutEditorModel& operator=(const MenuBarLayoutEditorModel&) = delete;

  // Called synchronously after every change of the editor's own state and of the store (which
  // notifies before it stores): a view re-derives on a later turn.
  void setChangeHandler(std::function<void()> handler) { changeHandler_ = std::move(handler); }

  // MARK: State
  const MenuBarLayoutDraft& draft() const { return draft_; }
  bool isApplying() const { return applying_; }
  const std::optional<std::string>& toast() const { return toast_->text(); }
  // A new token for every toast; only the latest one's time hides it.
  std::uint64_t toastToken() const { return toast_->token(); }
  // For the page's toast, which shows it (and takes its change callback).
  const std::shared_ptr<TransientMessage>& toastMessage() const { return toast_; }
  bool draftDiffers() const;
  // The captured items of the zone's draft list, in draft order; ids no item has are skipped.
  std::vector<CapturedMenuBarItem> rowItems(MenuBarLayoutZone zone) const;

  // MARK: Controls
  bool refreshEnabled() const;
  double refreshOpacity() const;
  bool applyEnabled() const;
  bool pageEnabled() const { return !applying_; }
  bool showsPermissionCard() const { return !store_.screenCapturePermissionGranted.get(); }
  std::optional<StatusLine> statusLine() const;

  // MARK: Actions
  // The page showed: with nothing captured, refresh and rebuild.
  void appear();
  // Starts refreshAndRebuildDraft() (the header's and the permission card's buttons).
  void refresh();
  void applyDraft();
  void showToast(std::string text);
  // A click on a chip: a fixed item says why it cannot move; a movable one does nothing.
  void chipClicked(const CapturedMenuBarItem& item);

  // A plain-text drop into `zone`, before the chip at `visualIndex` of the zone's row (none: the
  // well itself, appending). True when accepted.
  bool handleDrop(std::string_view payload, MenuBarLayoutZone zone, std::optional<int64_t> visualIndex);
  // handleDrop's checks without its effects: whether a drop of this payload could be accepted.
  bool acceptsDrop(std::string_view payload) const;
  std::optional<int64_t> logicalInsertionIndex(std::optional<int64_t> visualIndex, MenuBarLayoutZone zone,
                                               std::uint32_t draggedID) const;

 private:
  MenuBarLayoutEditorModel(MenuBarStore& store, async::Executor& executor, ApplyLayout applyLayout,
                           RefreshItems refreshItems);
  void observeStore();
  void rebuildDraft();
  void notify();
  const CapturedMenuBarItem* capturedItem(std::uint32_t id) const;
  static async::Task<void> runRefresh(std::weak_ptr<MenuBarLayoutEditorModel> weak, RefreshItems refreshItems);
  static async::Task<void> runApply(std::weak_ptr<MenuBarLayoutEditorModel> weak, ApplyLayout applyLayout,
                                    MenuBarLayoutDraft draft);

  MenuBarStore& store_;
  async::Executor& executor_;
  ApplyLayout applyLayout_;
  RefreshItems refreshItems_;
  MenuBarLayoutDraft draft_;
  bool applying_ = false;
  std::shared_ptr<TransientMessage> toast_;
  bool lastSeenCapturing_ = false;
  std::function<void()> changeHandler_;
  std::vector<async::Subscription> subscriptions_;
};

}  // namespace vimbo
