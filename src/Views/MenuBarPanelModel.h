#pragma once
// The manager panel without its widgets: what the popover and the detached panel show, derived
// from the store, and what a click, Escape or a button does. The widgets paint this and forward
// their input here. Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Models/MenuBarLayout.h"
#include "Platform/Runtime/Executor.h"
#include "Views/ItemGlyphs.h"
#include "Views/TransientMessage.h"
#include "Views/ViewFactory.h"

namespace vimbo {

class MenuBarStore;

struct ManagerTileModel {
  std::uint32_t id = 0;
  std::string name;
  GlyphContent glyph;
  bool showsLock = false;
  // Pinned (not collected) tiles stand out in the accent colour; collected and hidden ones are dim.
  bool isBright = false;
  std::string toolTip;
};

struct ManagerWellModel {
  std::vector<ManagerTileModel> tiles;
  std::string hint;
};

enum class ManagerBody { permissionCard, emptyBox, wells };

// Everything the panel shows at one moment.
struct ManagerPanelState {
  std::string subtitle;
  bool isCollapsed = true;
  std::string collapseSymbol;
  std::string collapseToolTip;
  std::string footerChip;
  bool isCapturing = false;
  ManagerBody body = ManagerBody::emptyBox;
  ManagerWellModel mainWell;
  // Set while the hidden zone holds items; otherwise the section reads "暂无隐藏项目".
  std::optional<ManagerWellModel> hiddenWell;
  std::string searchText;
  // Present while the search text is not empty (spaces count), in rank order.
  std::optional<std::vector<CapturedMenuBarItem>> results;
};

enum class TileButton { left, right };

// What a press on a tile asks for.
struct TileAction {
  enum class Kind { nothing, refuse, pin, collect, moveToZone };
  Kind kind = Kind::nothing;
  std::uint32_t id = 0;
  MenuBarLayoutZone zone = MenuBarLayoutZone::visible;  // moveToZone
  std::string message;                                  // refuse
};

ManagerPanelState managerPanelState(const MenuBarStore& store);
ManagerTileModel managerTile(const CapturedMenuBarItem& item);
TileAction tileAction(const MenuBarStore& store, const CapturedMenuBarItem& item, TileButton button);

class MenuBarPanelModel {
 public:
  // The store and the executor outlive the model.
  MenuBarPanelModel(MenuBarStore& store, ManagerPanelActions actions, async::Executor& executor);

  ManagerPanelState state() const { return managerPanelState(store_); }
  MenuBarStore& store() { return store_; }

  // A press on the tile of the item with this window number, looked up in the store now, so a
  // press always acts on the newest state. Fixed items only ever get the refusal toast.
  void press(std::uint32_t id, TileButton button);
  // Clears a non-empty search text; false when there was nothing to clear.
  bool escape();
  void setSearchText(const std::string& text);
  void openSettings();
  void toggleCollection();
  // Starts a task that awaits the refresh closure; nothing is kept.
  void refresh();
  void activate(std::uint32_t id);

  // Shared with the panel's toast widget.
  const std::shared_ptr<TransientMessage>& toast() const { return toast_; }

 private:
  MenuBarStore& store_;
  ManagerPanelActions actions_;
  async::Executor& executor_;
  std::shared_ptr<TransientMessage> toast_;
};

}  // namespace vimbo
