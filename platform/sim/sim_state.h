// The simulated desktop's state: every table the services read and the mutations change.
//
// Plain data, guarded by `SimCore::mutex`. Functions that change it never call out to product
// code; they leave what must happen afterwards (notifications, callbacks, delayed events) in an
// `Outbox` that the core carries out once the lock is released.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/accessibility.h"
#include "platform/menus.h"
#include "platform/sim/desktop.h"
#include "platform/sim/menu_layout.h"
#include "platform/status_bar.h"
#include "platform/window_server.h"
#include "platform/windows.h"
#include "platform/workspace.h"

namespace tucklet::sim {

class SimCore;

// The window server's own pseudo process (owner of the menu bar window).
constexpr pid_t kWindowServerPid = 88;
constexpr const char* kWindowServerName = "Window Server";
// The messaging time-out every element starts with until the system-wide default is changed.
constexpr double kDefaultMessagingTimeout = 6.0;
// The window layer the desktop picture sits in (far below every ordinary window).
constexpr int kDesktopWindowLayer = -2147483628;
constexpr int kMenuWindowLayer = 101;
constexpr int kStatusItemWindowLayer = 25;
constexpr int kMenuBarWindowLayer = 24;
// Popovers under a status item float with the pop-up menus.
constexpr int kPopoverWindowLayer = 101;

// Work gathered while the lock is held, carried out after it is released: `now` runs on the
// calling thread (run loop tracking), `later` is posted to the main queue after its delay.
struct Outbox {
  std::vector<std::function<void(SimCore&)>> now;
  std::vector<std::pair<double, std::function<void(SimCore&)>>> later;

  void post(std::function<void(SimCore&)> work) { later.emplace_back(0.0, std::move(work)); }
  void postAfter(double seconds, std::function<void(SimCore&)> work) {
    later.emplace_back(seconds, std::move(work));
  }
  void append(Outbox&& other) {
    for (auto& w : other.now)
      now.push_back(std::move(w));
    for (auto& w : other.later)
      later.push_back(std::move(w));
  }
};

// Names one interface object of some process; equal paths are the same element.
struct ElementPath {
  enum class Kind {
    SystemWide,
    Application,
    ExtrasBar,
    ExtraContainer,  // the extras bar's child in the grandchild structure
    ExtraItem,       // the item element (the child itself in the direct structure)
    OwnItem,         // one of this process's status items
    Menu,
    MenuRow,
    Window,
    AppMenuBarItem,  // a title of the application menus at the left of the bar
  };
  Kind kind = Kind::SystemWide;
  pid_t pid = 0;
  std::uint64_t incarnation = 0;
  std::uint64_t object = 0;  // extra id, own item id, window number, menu serial, title index
  std::uint64_t index = 0;   // menu row index; the extra of a menu
  friend bool operator==(const ElementPath&, const ElementPath&) = default;
};

struct ExtraEntry {
  ExtraId id = 0;
  pid_t pid = 0;
  WorldExtra extra;                   // `position` always set once the extra is in the bar
  std::uint64_t sequence = 0;         // entry order: breaks ties between equal positions
  platform::WindowNumber window = 0;  // its status item window
};

struct AppEntry {
  WorldApplication app;           // `extras` and `windows` live in the desktop's tables
  std::vector<ExtraId> extraIds;  // world order
  std::uint64_t incarnation = 0;
  bool isSelf = false;
};

// One of this process's status items.
struct OwnItemEntry {
  std::uint64_t id = 0;
  double length = platform::StatusItem::VariableLength;
  bool visible = true;
  std::string autosaveName;
  bool removalAllowed = false;
  platform::ImageRef image;
  platform::ImagePosition imagePosition = platform::ImagePosition::ImageOnly;
  std::string title;
  std::string toolTip;
  std::string accessibilityLabel;
  bool highlighted = false;
  std::shared_ptr<std::function<void(const platform::InputEvent&)>> action;
  platform::EventMask actionMask = platform::eventMaskFor(platform::EventType::LeftMouseUp);
  double position = 0;
  std::uint64_t sequence = 0;
  platform::WindowNumber window = 0;
};

struct WindowEntry {
  platform::WindowNumber number = 0;
  pid_t pid = 0;
  WorldWindow window;
  // A window a press opened (a popover-like panel): a mouse down outside it closes it.
  bool transient = false;
  ExtraId openedBy = 0;

  // One of this process's own windows: the product draws it and takes its input.
  std::shared_ptr<platform::WindowContent> content;
  platform::MenuAppearance appearance = platform::MenuAppearance::System;
  bool popover = false;
  bool borderless = false;         // no title bar: the content fills the window
  std::uint64_t underOwnItem = 0;  // a popover's status item
  double arrowX = 0;               // a popover's arrow, from the window's left edge
  std::shared_ptr<std::function<void()>> closed;
};

// The one menu open on the desktop: an extra's menu, or this process's pop-up menu.
struct ActiveMenu {
  std::uint64_t serial = 0;
  ExtraId extra = 0;          // 0: this process's pop-up menu
  std::uint64_t ownItem = 0;  // pop-up: the status item it hangs under (0: none)
  pid_t pid = 0;              // the Accessibility owner
  pid_t windowOwner = 0;
  platform::WindowNumber window = 0;
  Rect frame;  // window-list coordinates
  std::vector<MenuRow> rows;
  MenuLayout layout;                       // rows as drawn, in step with `rows`
  std::optional<std::size_t> highlighted;  // the row under the pointer or the arrow keys
  platform::MenuModel model;               // pop-up only
  std::function<void()> closed;            // pop-up only
};

// The bar laid out once, with each slot findable by its extra or own item at once: Accessibility
// reads a frame per item, and a scan must not lay the bar out or search it once per item.
struct BarLayout {
  std::vector<BarSlot> slots;  // right to left
  std::map<ExtraId, std::size_t> extraSlots;
  std::map<std::uint64_t, std::size_t> ownSlots;

  const BarSlot* extraSlot(ExtraId extra) const;
  const BarSlot* ownSlot(std::uint64_t ownItem) const;
};

// Lookups the Accessibility and workspace services make for every message, derived from the
// state like the bar's layout: applications by pid, and the files the workspace knows (running and
// installed bundles, the visibility framework) by path, without trailing slashes.
struct StateIndex {
  struct KnownFile {
    std::string iconTheme;
    std::string iconFile;
  };
  std::unordered_map<pid_t, std::size_t> apps;  // index into `SimState::apps`
  std::map<std::string, KnownFile, std::less<>> files;
};

struct AssertionEntry {
  std::set<int> controls;
  std::set<std::string> bundles;
  bool hidesCaller = false;
};

struct ObserverEntry {
  pid_t pid = 0;
  std::shared_ptr<platform::AXObserverCallback> callback;
  bool attached = false;
  std::vector<std::pair<ElementPath, std::string>> registrations;
};

struct MonitorEntry {
  bool global = false;
  platform::EventMask mask = 0;
  std::shared_ptr<std::function<void(const platform::InputEvent&)>> handler;
};

struct WorkspaceObserverEntry {
  platform::WorkspaceNotification notification;
  std::shared_ptr<std::function<void(pid_t)>> handler;
};

// A hot key this process registered.
struct HotKeyEntry {
  std::uint64_t ref = 0;
  std::uint32_t keyCode = 0;
  std::uint32_t modifiers = 0;  // Carbon bits
  platform::EventHotKeyID id;
};

// An event handler installed on this process's application event target.
struct EventHandlerEntry {
  std::uint64_t ref = 0;
  platform::EventHandlerProc proc = nullptr;
  std::vector<platform::EventTypeSpec> types;
  void* userData = nullptr;
};

struct SimState {
  World world;  // everything but the applications, which live in `apps`, `extras`, `windows`
  std::vector<AppEntry> apps;  // running order; this process is one of them
  std::map<ExtraId, ExtraEntry> extras;
  std::map<std::uint64_t, OwnItemEntry> ownItems;
  std::vector<WindowEntry> windows;  // ordinary windows, front to back
  pid_t frontmost = 0;
  std::optional<ActiveMenu> menu;
  std::uint64_t pressedOwnItem = 0;          // the own status item a mouse button went down on
  platform::WindowNumber keyWindow = 0;      // this process's key window (0: none)
  platform::WindowNumber pressedWindow = 0;  // the own window a mouse button went down in
  platform::WindowNumber hoveredWindow = 0;  // the own window the pointer is over, no button held

  std::map<std::uint64_t, AssertionEntry> assertions;
  std::map<std::uint64_t, ObserverEntry> observers;
  std::map<std::uint64_t, MonitorEntry> monitors;
  std::map<std::uint64_t, WorkspaceObserverEntry> workspaceObservers;
  std::vector<HotKeyEntry> hotKeys;              // registration order
  std::vector<EventHandlerEntry> eventHandlers;  // installation order

  // What the product asked of the system, for observation.
  std::vector<std::string> openedURLs;
  std::vector<std::string> revealedFiles;
  std::vector<ChosenMenuRow> chosenRows;
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::Regular;
  platform::PresentationOptions presentationOptions = 0;
  bool terminationRequested = false;
  bool terminationHandled = false;
  std::shared_ptr<std::function<void()>> terminationHandler;
  platform::MenuModel mainMenu;
  // Measures menu text; the estimate per character when empty.
  MenuTextWidth menuTextWidth;

  // The bar's layout is derived from the state; reads reuse it until the next change. `version`
  // moves on with every change, and nothing is reused while a change is being made.
  std::uint64_t version = 0;
  bool changing = false;
  mutable std::uint64_t layoutVersion = ~std::uint64_t{0};
  mutable std::shared_ptr<const BarLayout> layoutCache;
  mutable std::uint64_t indexVersion = ~std::uint64_t{0};
  mutable std::shared_ptr<const StateIndex> indexCache;
  // Up to date with the state; nothing while a change is being made.
  const StateIndex* index() const;

  // Accessibility cost model.
  SimDesktop::LatencyMode latencyMode = SimDesktop::LatencyMode::Sleep;
  double defaultTimeout = kDefaultMessagingTimeout;
  double spentSeconds = 0;
  std::uint64_t messageCount = 0;

  platform::WindowNumber menuBarWindow = 0;
  std::map<int, platform::WindowNumber> wallpaperWindows;  // by screen number

  std::uint64_t nextId = 1;  // extras, own items, assertions, observers, monitors, menus
  std::uint64_t nextSequence = 1;
  std::uint64_t nextIncarnation = 1;
  platform::WindowNumber nextWindow = 100;

  std::uint64_t newId() { return nextId++; }
  platform::WindowNumber newWindow() { return nextWindow++; }

  AppEntry* findApp(pid_t pid);
  const AppEntry* findApp(pid_t pid) const;
  const AppEntry* selfApp() const;
  pid_t selfPid() const { return world.self.pid; }
  // The largest placement key in the bar (extras and own items); 0 when the bar is empty.
  double maxPosition() const;
  // Seconds a message to `pid` takes, and whether it times out, for a time-out of `timeout`.
  std::pair<double, bool> messageCost(pid_t pid, double timeout) const;
};

}  // namespace tucklet::sim
