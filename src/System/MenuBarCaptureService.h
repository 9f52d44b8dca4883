#pragma once
// The one object that knows the real menu bar's status items: it reads the window list, pairs
// windows with accessibility elements, gives every item a stable identity, a display name and a
// picture, and remembers what it learned across runs. Main thread only, except the accessibility
// scan, which fans out to worker threads and touches shared state only through one lock.
//
// The implementation is split by concern:
//   +Discovery.cpp          window list, discovery, live frames
//   +Identity.cpp           stable identities and the identity cache
//   +Settling.cpp           identity settling at start-up
//   +AccessibilityScan.cpp  the per-application accessibility scan and the geometry tests
//   +Pairing.cpp            window/candidate pairing and persisted aliases
//   +Images.cpp             picture capture
//   +Glyphs.cpp             glyph caches
//   +Names.cpp              display names and name learning
//   +PassIndex.cpp          per-pass lookups that keep a pass n log n
//   +Mover.cpp, +Activation.cpp, +SafeSlot.cpp  moving, activating and indexing items

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Platform.h"

namespace vimbo::async {
template <class T>
class Task;
template <class T>
class OneShot;
class Executor;
}  // namespace vimbo::async

namespace vimbo::platform {
class UserDefaults;
class Image;
}  // namespace vimbo::platform

namespace vimbo {

using ImageRef = std::shared_ptr<const platform::Image>;

class MenuBarCaptureService {
 public:
  // ---- Records ---------------------------------------------------------------------------

  struct WindowMetadata {
    uint32_t windowID = 0;
    std::string windowName;
    std::string ownerName;
    std::string ownerBundleIdentifier;
    int32_t ownerPID = 0;
    Rect frame;
    std::optional<std::string> accessibilityIdentity;
  };

  struct MenuExtraDisplayCandidate {
    Rect frame;
    int32_t processIdentifier = 0;
    std::string applicationName;
    std::string bundleIdentifier;
    std::optional<std::string> accessibilityIdentity;
    std::optional<std::string> itemTitle;
    std::optional<std::string> itemDescription;
    std::optional<std::string> itemHelp;
    friend bool operator==(const MenuExtraDisplayCandidate&, const MenuExtraDisplayCandidate&) = default;
  };

  struct MenuExtraApplicationSnapshot {
    int32_t processIdentifier = 0;
    std::string localizedName;
    std::string bundleIdentifier;
  };

  // Worker threads append one application's candidates at a time under the lock.
  struct MenuExtraCandidateCollector {
    std::mutex lock;
    std::vector<MenuExtraDisplayCandidate> candidates;
  };

  struct PreDividerMenuExtraObservation {
    MenuExtraDisplayCandidate candidate;
    std::string windowName;
    std::string ownerBundleIdentifier;
    int32_t ownerPID = 0;
    double width = 0;
    double height = 0;
  };

  struct PersistedMenuExtraAlias {
    uint32_t observedWindowID = 0;
    std::string ownerBundleIdentifier;
    std::string windowName;
    int32_t ownerPID = 0;
    double width = 0;
    double height = 0;
    std::string candidateBundleIdentifier;
    int32_t candidateProcessIdentifier = 0;
    std::string displayName;
    std::string accessibilityIdentity;
    std::optional<std::string> verification;  // "safe-hit" or "strict-ax"
    friend bool operator==(const PersistedMenuExtraAlias&, const PersistedMenuExtraAlias&) = default;
  };

  struct StableIdentityCacheEntry {
    std::string identity;
    std::string windowName;
    std::string ownerBundleIdentifier;
    int32_t ownerPID = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const StableIdentityCacheEntry&, const StableIdentityCacheEntry&) = default;
  };

  struct SessionGlyphImage {
    ImageRef image;
    std::string windowName;
    std::string ownerBundleIdentifier;
    int32_t ownerPID = 0;
    double width = 0;
    double height = 0;
  };

  struct ConfirmedDisplayNameObservation {
    std::string displayName;
    uint32_t windowID = 0;
    std::string ownerBundleIdentifier;
    std::string windowName;
    int32_t ownerPID = 0;
    double height = 0;
    std::string candidateBundleIdentifier;
    int32_t candidateProcessIdentifier = 0;
  };

  enum class SavedIdentityResolution { present, absent, ambiguous };

  struct SavedIdentityCacheObservation {
    SavedIdentityResolution resolution = SavedIdentityResolution::ambiguous;
    std::optional<uint32_t> windowID;
    std::optional<StableIdentityCacheEntry> entry;
    std::string signature;
    std::string stableSignature;
  };

  struct SavedIdentityDescriptor {
    std::string owner;
    std::string windowName;
    std::string accessibilityIdentity;
  };

  // A failed capture pass, as a value: the missing permission, or the shareable-content
  // request's own error passed on unchanged.
  struct CaptureError {
    enum class Kind { permissionRequired, shareableContent };
    Kind kind = Kind::permissionRequired;
    std::string underlyingDescription;  // the platform's text for shareableContent
    static CaptureError permissionRequired() { return {Kind::permissionRequired, {}}; }
    std::string description() const;
    friend bool operator==(const CaptureError&, const CaptureError&) = default;
  };
  static constexpr std::string_view permissionRequiredDescription =
      "需要“屏幕与系统音频录制”权限才能显示收纳图标。";

  struct CaptureImagesResult {
    std::vector<CapturedMenuBarItem> items;  // empty when error is set
    std::optional<CaptureError> error;
  };

  enum class MenuBarMoveDestination { visible, collected };

  // Why the last move or activation gave false, so that the person is told the true cause.
  enum class ItemFailure {
    none,
    accessibilityNotTrusted,
    eventUnavailable,  // an event source or event could not be made
    windowGone,        // the item's window is no longer listed
    notPressable,      // it stands where no press can reach it (beyond a screen's edge, covered)
    notArrived,        // pressed and dropped, but not seen on the side asked for
    givenUp,           // no drop or click made: its turn given up, abandoned, cancelled, or a fixed item
  };

  // ---- The tables shared by every part of the service (declaration order is the contract) ----
  struct State {
    std::map<uint32_t, StableIdentityCacheEntry> sessionIdentityCache;
    std::map<uint32_t, SessionGlyphImage> sessionGlyphImages;
    std::vector<MenuExtraDisplayCandidate> menuExtraDisplayCandidates;
    std::map<uint32_t, PreDividerMenuExtraObservation> preDividerMenuExtraCandidates;
    std::map<uint32_t, int32_t> menuExtraAXOwnerPIDs;
    std::map<std::string, PersistedMenuExtraAlias> persistedMenuExtraAliases;
    std::map<std::string, std::string> persistedDisplayNames;
    std::map<std::string, ImageRef> persistedNativeGlyphs;
    std::map<std::string, ImageRef> persistedNativeGlyphAliases;
    std::map<std::string, std::string> confirmedDisplayNames;
    std::map<uint32_t, ConfirmedDisplayNameObservation> confirmedDisplayNameObservations;
    bool glyphCacheNeedsFlush = false;
  };

  // ---- Persisted keys and limits -----------------------------------------------------------
  static constexpr std::string_view aliasesKey = "capturedMenuExtraAliases.v1";
  static constexpr std::string_view displayNamesKey = "capturedMenuExtraDisplayNames.v1";
  static constexpr std::string_view nativeGlyphsKey = "capturedNativeGlyphs.v1";
  static constexpr std::string_view nativeGlyphAliasesKey = "capturedNativeGlyphAliases.v1";
  static constexpr size_t aliasCap = 128;
  static constexpr size_t displayNameCap = 128;
  static constexpr size_t glyphCap = 96;
  static constexpr size_t glyphMaxBytes = 262144;
  static constexpr int64_t glyphMaxPixels = 512 * 512;  // a stored glyph declaring more is not loaded

  // Loads the four persisted tables; writes nothing back. The bundle is copied (its references
  // must outlive the service).
  MenuBarCaptureService(const platform::Platform& platform, std::shared_ptr<platform::UserDefaults> defaults,
                        async::Executor& executor);
  ~MenuBarCaptureService();
  MenuBarCaptureService(const MenuBarCaptureService&) = delete;
  MenuBarCaptureService& operator=(const MenuBarCaptureService&) = delete;

  const State& state() const { return state_; }
  State& mutableStateForTesting() { return state_; }

  // ---- Discovery -----------------------------------------------------------------------------
  std::vector<CapturedMenuBarItem> discoverMenuBarItems();
  std::vector<WindowMetadata> menuBarWindowMetadata();
  std::optional<Rect> currentFrame(uint32_t windowID);
  std::string stableIdentity(const CapturedMenuBarItem& item);
  bool isOutsideVisibleScreens(const Rect& frame);
  std::optional<MenuExtraDisplayCandidate> matchingMenuExtraCandidate(const WindowMetadata& m);
  // The hit-test identity of a window: the element under its midpoint, when its process is one
  // the window may be drawn by, walked up to five elements for an identifier or a title.
  std::optional<std::string> accessibilityIdentity(const Rect& frame, uint32_t windowID, const std::string& windowName,
                                                   int32_t ownerPID);

  // ---- Identities ----------------------------------------------------------------------------
  std::string stableIdentityBase(const WindowMetadata& m);
  std::string uncachedStableIdentityBase(const WindowMetadata& m);
  std::string stableIdentitySizeBase(const WindowMetadata& m);
  std::optional<std::string> durableCandidateAccessibilityIdentity(const MenuExtraDisplayCandidate& c) const;
  static std::optional<std::string> fixedMenuExtraAccessibilityIdentity(std::string_view windowName);
  static std::optional<std::string> accessibilityTitle(std::string_view identity);
  static std::string sizeSuffix(double width, double height);
  static int64_t tenthsOfPoint(double value);
  static std::optional<std::string> firstNonEmptyLine(std::string_view text);
  // Identity read from an element ("identifier:", "title:" or "description:" and its first line).
  // Safe on worker threads: touches only the accessibility interface.
  static std::optional<std::string> accessibilityIdentity(platform::Accessibility& ax, platform::AXElement element);
  static std::optional<std::string> accessibilityString(platform::Accessibility& ax, platform::AXElement element,
                                                        const char* attribute);

  // ---- Settling ------------------------------------------------------------------------------
  void cacheVisibleStableIdentities();
  std::optional<std::set<std::string>> cacheVisibleStableIdentities(const std::set<std::string>& expectedIdentities);
  // Keeps the item's window known by the item's identity (a base) for the rest of the session: a
  // window matched to a saved pin must not lose that identity when a later look reads its
  // accessibility picture differently.
  void keepStableIdentity(const CapturedMenuBarItem& item);
  std::map<std::string, SavedIdentityCacheObservation> savedIdentityObservations(
      const std::set<std::string>& expectedIdentities, const std::vector<WindowMetadata>& metadata);
  static std::optional<SavedIdentityDescriptor> savedIdentityDescriptor(std::string_view identity);
  static std::string windowMetadataSignature(const WindowMetadata& m);
  static std::string windowMetadataStableSignature(const WindowMetadata& m);

  // ---- Accessibility scan and geometry --------------------------------------------------------
  void preparePreDividerMenuExtraCandidates();
  async::Task<void> refreshMenuExtraDisplayNames();
  std::vector<MenuExtraApplicationSnapshot> runningMenuExtraApplications(
      bool includeRegularApplications, const std::set<std::string>& regularBundleIdentifiers);
  std::vector<MenuExtraDisplayCandidate> scanMenuExtraDisplayCandidates(
      const std::vector<MenuExtraApplicationSnapshot>& applications);
  bool isFrameOnScreen(const Rect& frame);
  bool isFrameInAuxiliaryTopRightArea(const Rect& frame);
  std::optional<int32_t> accessibilityHitPID(const Rect& frame);
  static bool frameMatchesMenuExtraCandidate(const Rect& windowFrame, const MenuExtraDisplayCandidate& c);
  static bool framesMatch(const Rect& windowFrame, const Rect& candidateFrame);

  // ---- Pairing and aliases ---------------------------------------------------------------------
  std::vector<std::pair<WindowMetadata, MenuExtraDisplayCandidate>> highConfidencePreDividerPairs(
      const std::vector<WindowMetadata>& windows);
  std::map<uint32_t, MenuExtraDisplayCandidate> verifiedSafeRightMenuExtraPairs(const std::vector<WindowMetadata>& windows);
  void persistSafeRightMenuExtraAssociations(const std::vector<WindowMetadata>& windows);
  void refreshMenuExtraAXOwnerPIDs(const std::vector<WindowMetadata>& windows);
  void persistMenuExtraAlias(const MenuExtraDisplayCandidate& c, const WindowMetadata& w);
  std::optional<PersistedMenuExtraAlias> persistedMenuExtraAlias(const WindowMetadata& w);
  void flushPersistedMenuExtraAliases();
  static bool isPlaceholderWindowName(std::string_view name);
  static bool isDisplayNameCompatible(std::string_view displayName, std::string_view windowName);
  static bool isPersistableNameIdentity(std::string_view identity);
  static std::string encodeAliases(const std::map<std::string, PersistedMenuExtraAlias>& aliases);
  static std::optional<std::map<std::string, PersistedMenuExtraAlias>> decodeAliases(std::string_view json);

  // ---- Pictures --------------------------------------------------------------------------------
  async::Task<CaptureImagesResult> captureImages(std::vector<CapturedMenuBarItem> items,
                                                 std::map<std::string, ImageRef> preservingImages);
  std::vector<CapturedMenuBarItem> captureVisibleImages(const std::vector<CapturedMenuBarItem>& items,
                                                        const std::map<std::string, ImageRef>& preservingImages);
  static bool hasVisibleContent(const ImageRef& image);

  // ---- Glyph caches ----------------------------------------------------------------------------
  static std::string glyphAliasKey(const CapturedMenuBarItem& item);
  static std::set<std::string> uniqueGlyphAliasKeys(const std::vector<CapturedMenuBarItem>& items);
  void persistNativeGlyph(const ImageRef& image, const CapturedMenuBarItem& item, const std::optional<std::string>& aliasKey);
  ImageRef persistedNativeGlyph(const CapturedMenuBarItem& item, const std::set<std::string>& uniqueAliasKeys) const;
  std::optional<std::string> nativeGlyphBackfilledDisplayName(const CapturedMenuBarItem& item, const ImageRef& image) const;
  void flushGlyphDictionariesIfNeeded();

  // ---- Display names -------------------------------------------------------------------------
  std::string displayName(const WindowMetadata& m, const std::string& stableIdentity);
  std::optional<std::string> confirmedDisplayName(const WindowMetadata& m, const std::string& stableIdentity) const;
  static std::optional<std::string> friendlyDisplayName(const MenuExtraDisplayCandidate& c);
  static bool isMeaningfulDisplayName(std::string_view name);
  static std::optional<std::string> fixedDisplayName(std::string_view windowName);
  void flushPersistedDisplayNames();
  static std::map<std::string, std::string> filteredPersistedDisplayNames(std::map<std::string, std::string> names);

  // The one name-learning step (discovery, pairing, pictures and safe-slot indexing all use it):
  // the name is confirmed for the run; it is persisted under a persistable identity only when it
  // is meaningful, so a placeholder never replaces a good stored name; with a window and a
  // candidate (non-empty bundle, pid > 0) the observation that keeps the name trusted is stored.
  void learnDisplayName(std::string_view name, const std::string& stableIdentity, const WindowMetadata* window,
                        std::string_view candidateBundleIdentifier = {}, int32_t candidateProcessIdentifier = 0);

  // ---- Moving, activating and indexing items (MenuBarCaptureService+Mover.cpp, +Activation.cpp, +SafeSlot.cpp)
  async::Task<bool> moveMenuBarItem(CapturedMenuBarItem item, Point destination, bool exactOrder,
                                    MenuBarMoveDestination moveDestination);
  // A press through accessibility at once; the click that stands in for a refused press waits for
  // the mover's turn, so that it never lands while a move holds the button.
  async::Task<bool> activate(CapturedMenuBarItem item);
  // The cause of the last false result of the two above; read it in the turn the call returned
  // in, before another move or activation can end.
  ItemFailure lastItemFailure() const { return lastItemFailure_; }
  bool indexMenuExtraFromSafeSlot(const CapturedMenuBarItem& item, bool persist);
  // Explicit clean-up of an unfinished move (cursor, Command key, held button) at quit.
  void finishPendingMoveCleanup();

 private:
  // State of the mover and activation, defined in their own files (shared_ptr: incomplete here).
  struct MoverState;
  std::shared_ptr<MoverState> moverState_;
  ItemFailure lastItemFailure_ = ItemFailure::none;
  // Takes the mover's turn for a move or a click: finishes once whoever asked for it earlier has
  // finished (clean-up and pointer put-back included); the turn passes on when `done` is resumed.
  // Whether it had to wait; none when the wait was given up (a finish at quit, or cancellation).
  async::Task<std::optional<bool>> takeMoverTurn(async::OneShot<void> done);
  // Records the cause of a false result and gives that result.
  bool failed(ItemFailure cause) {
    lastItemFailure_ = cause;
    return false;
  }
  // Why a press cannot be made where the item stands: its window is gone, or it is out of reach.
  ItemFailure unpressable(uint32_t windowID) {
    return currentFrame(windowID) ? ItemFailure::notPressable : ItemFailure::windowGone;
  }
  // Where a synthetic press on the item may go: the centre of its live frame, when that is on a
  // screen, inside the menu-bar band and the window server finds the item's own window there.
  // None otherwise: a press would land on whatever else stands there.
  std::optional<Point> pressPoint(uint32_t windowID);

  class WindowServerCaptureBridge;

  // Lookups built once per pass (discovery, a settling poll, pairing) over tables that do not
  // change within the pass, so a pass costs n log n rather than n squared. Outside a pass every
  // lookup scans the tables directly.
  struct PassIndex;
  class PassScope {
   public:
    explicit PassScope(MenuBarCaptureService& service);
    ~PassScope();
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

   private:
    MenuBarCaptureService& service_;
    bool owner_ = false;
  };
  // A scan (the start-up pairing, a discovery, a seed, a safe-slot indexing) writes the alias
  // and display-name tables once, at its end: inside one, a flush changes only memory and marks
  // its table, and the outermost scope writes what is marked. Outside a scan a flush writes at once.
  class PersistedTablesBatch {
   public:
    explicit PersistedTablesBatch(MenuBarCaptureService& service);
    ~PersistedTablesBatch();
    PersistedTablesBatch(const PersistedTablesBatch&) = delete;
    PersistedTablesBatch& operator=(const PersistedTablesBatch&) = delete;

   private:
    MenuBarCaptureService& service_;
  };
  int persistedTablesBatchDepth_ = 0;
  bool aliasesWritePending_ = false;
  bool displayNamesWritePending_ = false;

  std::vector<const MenuExtraDisplayCandidate*> candidatesMatchingFrame(const Rect& windowFrame) const;
  size_t candidateCountWithBundle(const std::string& bundleIdentifier) const;
  std::vector<const MenuExtraDisplayCandidate*> candidatesWithBundleAndProcess(const std::string& bundleIdentifier,
                                                                             int32_t processIdentifier) const;
  std::vector<const MenuExtraDisplayCandidate*> candidatesWithProcess(int32_t processIdentifier) const;
  // Cache entries that could be the same status item under another window number.
  std::vector<const StableIdentityCacheEntry*> cacheEntriesOf(const std::string& ownerBundleIdentifier, int32_t ownerPID) const;
  // The element under a frame's midpoint and its process (one hit test per point within a pass).
  struct HitResult {
    bool hit = false;
    uint64_t element = 0;
    std::optional<int32_t> pid;
  };
  HitResult hitTest(const Rect& frame);
  std::optional<std::string> ownerBundleIdentifier(int32_t pid);

  // One-window screenshot at twice the point size, shown at the point size; null on any failure.
  async::Task<ImageRef> capture(uint32_t windowID, Size size);
  // The window-server pictures (bridge, then the window image), kept only when they show something.
  ImageRef capturePictureForItem(const CapturedMenuBarItem& item);
  // This session's glyph for the item, when it still fits the item.
  ImageRef usableSessionGlyph(const CapturedMenuBarItem& item) const;
  // Keeps a fresh picture as the session glyph and persists it.
  void rememberSessionGlyph(const ImageRef& image, const CapturedMenuBarItem& item, const std::optional<std::string>& aliasKey);
  void loadPersistedTables();
  void pollStableIdentitiesOnce();

  // What the defaults hold under one glyph key, as last loaded or written: each entry's picture
  // (the very object in the table) beside its bytes, so an unchanged picture is never encoded
  // again and an unchanged table is never written again.
  struct StoredGlyphTable {
    std::map<std::string, std::pair<ImageRef, platform::Data>> entries;
    bool complete = false;  // the stored dictionary is exactly `entries`
  };
  StoredGlyphTable storedNativeGlyphs_;
  StoredGlyphTable storedNativeGlyphAliases_;

  platform::Platform platform_;
  std::shared_ptr<platform::UserDefaults> defaults_;
  async::Executor& executor_;
  State state_;
  std::unique_ptr<WindowServerCaptureBridge> bridge_;
  std::shared_ptr<PassIndex> pass_;
};

}  // namespace vimbo
