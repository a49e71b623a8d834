// The simulated desktop: one Mac's window server, menu bar, Accessibility tree, workspace and
// system services, run from a `World`.
//
// The desktop implements every platform service the product uses (`services()`), and offers a
// mutation interface through which tests and harnesses act as the user and the system: launch and
// quit applications, grant and revoke trust, add and remove screens, change the battery, make an
// application frontmost, move the pointer, click, type and Command-drag.
//
// State is guarded by one lock: every read is safe from background threads. Notifications and
// observer callbacks are delivered on the main queue of the run loop given at creation, and
// everything that takes time in the simulated system (Accessibility latency, a window that opens
// after a press, a framework handler's delay) takes it from that run loop or from the latency
// model below.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/menu_layout.h"
#include "platform/sim/world.h"

namespace tucklet::sim {

// Identifies one menu bar extra of the world for the life of the desktop.
using ExtraId = std::uint64_t;

// One entry of the menu bar's status area, right to left.
struct BarSlot {
  enum class Kind { Extra, OwnStatusItem };
  Kind kind = Kind::Extra;
  ExtraId extra = 0;          // Kind::Extra
  std::string autosaveName;   // Kind::OwnStatusItem
  std::uint64_t ownItem = 0;  // Kind::OwnStatusItem: names the item for the life of the desktop
  pid_t pid = 0;
  double position = 0;  // placement key: smaller is further right
  Rect frame;           // screen coordinates; laid out even when not shown
  bool shown = false;   // on screen, right of the application menus and the notch
  bool hiddenByAssertion = false;
};

struct OpenMenu {
  ExtraId extra = 0;  // 0: this process's pop-up menu
  pid_t pid = 0;
  platform::WindowNumber window = 0;
  Rect frame;  // window-list coordinates
  std::vector<MenuRow> rows;
  MenuLayout layout;                       // how it is drawn; row frames relative to `frame`
  std::optional<std::size_t> highlighted;  // index into `layout.rows`
};

// A popover's arrow: how far it reaches up from the popover's body, and how wide its base is.
constexpr double kPopoverArrowHeight = 10;
constexpr double kPopoverArrowWidth = 24;
constexpr double kPopoverCornerRadius = 12;
// This process's ordinary windows have a title bar above their content, with the close button
// (the red one of the three) this far from the window's left edge.
constexpr double kTitleBarHeight = 28;
constexpr double kCloseButtonX = 20;
constexpr double kCloseButtonRadius = 6;

// One of this process's own windows (a popover under a status item, a window), front to back.
struct OwnWindowInfo {
  platform::WindowNumber number = 0;
  std::string title;
  int layer = 0;
  Rect frame;         // window-list coordinates, a popover's arrow included
  Rect contentFrame;  // window-list coordinates
  bool popover = false;
  double arrowX = 0;  // a popover's arrow, from the window's left edge
  bool dark = false;
  bool key = false;
  std::shared_ptr<platform::WindowContent> content;
  bool borderless = false;  // no title bar, no frame: only the content
};

// One of this process's status items as the bar shows it.
struct OwnStatusItemInfo {
  std::uint64_t id = 0;
  std::string autosaveName;
  double length = 0;  // as set; `platform::StatusItem::VariableLength` for a variable item
  double width = 0;   // what the bar gives it
  bool visible = true;
  platform::ImageRef image;
  std::string title;
  std::string toolTip;
  std::string accessibilityLabel;
  bool highlighted = false;
};

// A row the user chose in an open menu.
struct ChosenMenuRow {
  pid_t pid = 0;
  ExtraId extra = 0;  // 0: this process's pop-up menu
  std::string title;
};

class SimDesktop {
 public:
  // How Accessibility latency and time-outs are spent by the calling thread: really waited for
  // (`Sleep`, the default for a live run), or only added up (`Account`, for virtual time).
  enum class LatencyMode { Sleep, Account };

  SimDesktop(World world, platform::RunLoop& runLoop);
  ~SimDesktop();
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  // --- Platform services (live as long as the desktop) ---
  platform::Workspace& workspace();
  platform::Accessibility& accessibility();
  platform::WindowServer& windowServer();
  platform::StatusBar& statusBar();
  platform::Screens& screens();
  platform::PowerSources& powerSources();
  platform::LoginService& loginService();
  platform::HotKeys& hotKeys();
  platform::Application& application();
  platform::Menus& menus();
  platform::Symbols& symbols();
  platform::Windows& windows();
  // Read-only views for observers (rendering) that hold a const desktop.
  const platform::Workspace& workspace() const;
  const platform::Accessibility& accessibility() const;
  const platform::WindowServer& windowServer() const;
  const platform::Screens& screens() const;
  // All services at once, with `defaults` and `runLoop` supplied by the caller.
  platform::Platform platform(platform::UserDefaults& defaults);
  // Where the private visibility framework lives; empty when it is not available.
  std::string visibilityFrameworkPath() const;

  // --- Observation (tests, rendering) ---
  World world() const;  // a copy of the current state, as a world
  std::vector<BarSlot> menuBarLayout() const;
  // Screen-coordinate rectangle of the application menus (Apple menu and the frontmost
  // application's menu titles) at the left of the bar.
  Rect applicationMenusFrame() const;
  // Each title of the application menus (the Apple menu first) with its screen frame.
  struct MenuTitle {
    std::string title;
    Rect frame;
  };
  std::vector<MenuTitle> applicationMenuTitles() const;
  std::vector<OpenMenu> openMenus() const;
  // Moves on with every change of the desktop; a live view redraws when it has moved.
  std::uint64_t changeCount() const;
  std::vector<std::string> openedURLs() const;
  std::vector<std::string> revealedFiles() const;
  platform::ActivationPolicy activationPolicy() const;
  bool terminationRequested() const;
  std::size_t visibilityAssertionCount() const;
  std::optional<WorldExtra> extra(ExtraId id) const;  // nothing for an unknown id
  std::optional<ExtraId> findExtra(pid_t pid, const std::string& identifier) const;
  std::vector<ExtraId> extrasOf(pid_t pid) const;         // world order
  std::vector<OwnStatusItemInfo> ownStatusItems() const;  // creation order
  std::vector<OwnWindowInfo> ownWindows() const;          // front to back
  // The menu this process popped up and is tracking, if any.
  std::optional<platform::MenuModel> trackedMenu() const;
  std::vector<ChosenMenuRow> chosenMenuRows() const;

  // --- Mutations (main thread) ---
  pid_t launchApplication(WorldApplication app);
  void quitApplication(pid_t pid);
  void setTrusted(bool trusted);
  void setFrontmost(pid_t pid);
  void setPointer(Point screenLocation);  // moves the mouse: monitors see it
  // The system's appearance; menus that follow the system are drawn dark or light.
  void setDarkAppearance(bool dark);
  // Measures menu text with the fonts the screen is drawn with (the renderer installs it); menus
  // opened afterwards are laid out with it.
  void setMenuTextWidth(MenuTextWidth textWidth);
  void addScreen(WorldScreen screen);
  void removeScreen(int number);
  void setPowerSources(std::vector<platform::PowerSourceDescription> sources);
  void setScreenCaptureApproved(bool approved);
  void setLoginItemStatus(platform::LoginItemStatus status, bool requiresApproval);
  void setApplicationHung(pid_t pid, bool hung);
  void simulateWake();
  void simulateSpaceChange();
  // Command-drags a status slot so that its right edge lands at screen x `toX` (just right of the
  // slot under it when `toX` is right of that slot's middle, else just left of it); false for
  // fixed, hidden or unknown slots. Placements are renumbered and this process's are remembered
  // by autosave name.
  bool commandDrag(const BarSlot& slot, double toX);
  // Closes an ordinary window of an application (the user closing it).
  void closeWindow(platform::WindowNumber window);
  // The user's input: a click (mouse down and up) at a screen point, a key press (modifiers as
  // event flags, `platform::ModifierFlag`, and the text the key types, if any), a press of a global
  // hot key (modifiers as Carbon bits). A combination registered as a hot key reaches the hot key
  // handler, not the applications, whichever way it is pressed.
  void click(Point screenLocation, std::uint32_t modifiers = 0, bool rightButton = false);
  void pressKey(std::uint16_t keyCode, std::uint32_t modifiers = 0,
                const std::string& characters = {});
  void pressHotKey(std::uint32_t keyCode, std::uint32_t modifiers);
  // Types text on the keyboard: one key press per character (capitals with Shift), each carrying
  // its character; characters the layout has no key for arrive as text alone.
  void typeText(const std::string& text);
  // Chooses a row of the open menu (this process's pop-up menu or an extra's menu), as a click on
  // it would: `indexPath` descends into submenus. False when no menu is open or the row cannot be
  // chosen (separators, headers, disabled rows).
  bool chooseMenuRow(const std::vector<std::size_t>& indexPath);
  // The first enabled row with this title, searched depth first.
  bool chooseMenuRow(const std::string& title);
  // Where the switch of the row named `name` (this process's) is in the on-screen Accessibility
  // window of System Settings; nothing without one.
  std::optional<Point> settingsSwitchPoint(const std::string& name) const;

  // --- Timelines ---
  // Carries out one step now (its time is not looked at). A step whose target is not there (no
  // such application running, an item hidden or off-screen, no open menu with that row) changes
  // nothing and answers why, in a few words; nothing when it was carried out.
  std::optional<std::string> perform(const TimelineStep& step);
  // Plays steps on the desktop's clock: each runs `at` seconds from now, in order (steps at the
  // same time in the order given). A step that cannot be carried out is handed to `report` as
  // "<where>: <action>: <why>" and skipped. Steps still pending when the desktop goes are dropped.
  void playTimeline(std::vector<TimelineStep> steps,
                    std::function<void(const std::string&)> report = {});

  // --- Visibility assertion (the private framework stand-in calls these) ---
  std::uint64_t addVisibilityAssertion(std::set<int> allowedControls,
                                       std::set<std::string> allowedBundles, bool hidesCaller);
  void removeVisibilityAssertion(std::uint64_t assertion);

  // --- Accessibility cost model ---
  void setLatencyMode(LatencyMode mode);
  // Seconds of latency and time-outs spent so far (both modes), and messages answered.
  double spentAccessibilitySeconds() const;
  std::uint64_t accessibilityMessageCount() const;
  void resetAccessibilityCounters();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tucklet::sim
