// The description of one simulated Mac, as a world file gives it. `SimDesktop` (desktop.h) runs
// it; `loadWorld` (world_loader.h) reads it from JSON. Defaults here are the values a world file
// may leave out; docs/world-format.md documents every key.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/geometry.h"
#include "platform/system_services.h"
#include "platform/workspace.h"

namespace tucklet::sim {

using platform::Point;
using platform::Rect;
using platform::Size;

struct WorldScreen {
  Rect frame;                        // screen coordinates (bottom-left origin, y up)
  std::optional<Rect> visibleFrame;  // derived from frame, menu bar and Dock when absent
  int number = 0;                    // assigned in file order from 1 when absent
};

// A camera housing at the top centre of the primary screen; no status item is shown under it.
struct Notch {
  double width = 0;
};

// How an item's Accessibility element answers "AXPress".
enum class PressBehaviour {
  OpensMenu,         // "AXPress" and "AXShowMenu" open the item's menu
  OpensWindow,       // "AXPress" opens an ordinary window of the application (after `windowDelay`)
  ShowMenuOnly,      // "AXPress" fails with -25206, "AXShowMenu" opens the menu
  Unsupported25206,  // both actions fail with -25206 (action unsupported)
  Unsupported25208,  // both actions fail with -25208 (not implemented)
  Hangs,             // actions get no answer: time-out error after the messaging time-out
};

struct MenuRow {
  std::string title;  // empty with `separator`
  bool separator = false;
  bool enabled = true;
};

// Where the item's picture in the bar comes from (for rendering only).
struct ExtraLook {
  std::string symbol;     // a system symbol name ("wifi", "battery.100", ...)
  std::string themeIcon;  // an icon theme name ("weather-clear-symbolic")
  std::string imageFile;  // a path to an image file
  std::string text;       // drawn as text (the clock, a title-only item)
};

// One menu bar extra (status item) of an application.
struct WorldExtra {
  // Accessibility structure. "direct": the extras bar's child is the item. "grandchild": the child
  // is a container whose children include the item element.
  enum class Structure { Direct, Grandchild };
  Structure structure = Structure::Direct;
  std::string childRole = "AXMenuBarItem";  // role text of the extras bar's child, as given
  std::string itemRole = "AXMenuBarItem";   // role text of the grandchild (Grandchild only)

  std::optional<std::string> identifier;   // "AXIdentifier" of the item element, as given
  std::optional<std::string> title;        // "AXTitle"
  std::optional<std::string> description;  // "AXDescription"
  std::optional<std::string> help;         // "AXHelp"

  double width = 22;             // points
  bool positionReadable = true;  // item element's "AXPosition" / "AXSize" readable
  bool sizeReadable = true;
  bool childFrameReadable = true;  // container's frame readable (Grandchild only)

  PressBehaviour press = PressBehaviour::OpensMenu;
  std::vector<MenuRow> menu;
  Size windowSize{360, 240};  // OpensWindow
  double windowDelay = 0.05;  // seconds between the press and the window appearing
  std::string windowTitle;

  // Placement in the bar: smaller is further right. Items without one are placed left of all
  // placed items, in file order. `fixed` items cannot be Command-dragged.
  std::optional<double> position;
  bool fixed = false;

  // The system control this item is, as the visibility framework numbers them (0 battery, 1
  // bluetooth, 2 clock, 3 displays, 4 keyboard, 5 volume, 6 wifi, 7 screen mirroring, 8 control
  // centre); absent for ordinary items.
  std::optional<int> control;

  ExtraLook look;
};

struct WorldWindow {
  std::string name;
  Rect bounds;  // window-list coordinates (top-left origin, y down)
  int layer = 0;
  std::optional<double> alpha;
};

struct WorldHotKey {
  std::uint32_t keyCode = 0;
  std::uint32_t modifiers = 0;  // Carbon modifier bits
};

struct WorldApplication {
  pid_t pid = 0;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> bundlePath;
  std::optional<std::string> localizedName;
  std::string iconTheme;  // icon theme name for the application's icon
  std::string iconFile;   // or an image file
  bool frontmost = false;
  bool hidden = false;  // put away by a hide request until it is activated again
  bool hung = false;    // every Accessibility message times out
  std::optional<double> accessibilityLatency;  // per message, overrides the world's
  // The bundle identifier of the process that owns this application's menu windows (the system's
  // controls draw their menus in "com.apple.MenuBarAgent"); empty: the application itself.
  std::string menuWindowOwner;
  std::vector<std::string> menus;  // menu titles shown left in the bar while frontmost
  std::vector<WorldWindow> windows;
  std::vector<WorldExtra> extras;
  // Global hot keys the application holds: no other process can register these combinations.
  std::vector<WorldHotKey> hotKeys;
};

// A bundle installed on disk that is not running (for file-existence checks and icons).
struct InstalledBundle {
  std::string path;
  std::string iconTheme;
  std::string iconFile;
};

struct VisibilityFrameworkFaults {
  bool configurationReturnsNothing = false;
  // Throw (with the reason, or without one when `throwWithoutReason`) at one of the four steps.
  std::optional<std::string> throwAt;  // "configuration", "creation", "activation", "invalidation"
  std::string throwReason;
  bool throwWithoutReason = false;
  std::optional<std::string> activationError;  // the handler receives an error with this text
  double activationDelay = 0;                  // seconds before the handler is called
  bool handlerOnOtherThread = false;
  // The assertion also hides the caller's own status items (the system does this by itself when
  // the caller does not run from /Applications or /System/Applications).
  bool hidesCaller = false;
};

struct VisibilityFramework {
  std::optional<std::string> path;  // absent: the framework is not available
  VisibilityFrameworkFaults faults;
};

struct SelfBundle {
  pid_t pid = 900;
  std::string path = "/Applications/Tucklet.app";
  std::optional<std::string> identifier = "local.quenby.Quiverly";
  std::string name = "Tucklet";
  std::string iconTheme;  // the bundle's icon (an icon theme name or an image file); the workspace
  std::string iconFile;   // shows the generic application icon without either
  std::map<std::string, std::string> infoKeys;  // "CFBundleShortVersionString", "SUFeedURL", ...
};

// Names an application in a timeline: by pid, or by bundle identifier (the first running
// application that has it).
struct AppReference {
  std::optional<pid_t> pid;
  std::string bundleIdentifier;
  std::string describe() const;  // "pid 412" or "\"com.raycast.macos\""
};

// What a click or a Command-drag is aimed at.
struct TimelineTarget {
  enum class Kind {
    Point,           // `point`, screen coordinates
    StatusItem,      // one of this process's status items, by autosave name (`name`)
    Item,            // an application's menu bar item, by its identifier (`name`)
    MenuRow,         // a row of the open menu, by title (`name`)
    SettingsSwitch,  // the switch of this process's row in System Settings' Accessibility list
  };
  Kind kind = Kind::Point;
  Point point;
  std::string name;
};

// One timed change of the desktop: the user or the system doing something `at` seconds after the
// start. Each action is one mutation of `SimDesktop` and is named after it; the fields it uses are
// listed beside it.
struct TimelineStep {
  enum class Action {
    LaunchApplication,         // application
    QuitApplication,           // app
    SetTrusted,                // flag
    SetFrontmost,              // app
    SetPointer,                // target.point
    AddScreen,                 // screen
    RemoveScreen,              // number
    SetPowerSources,           // powerSources
    SetScreenCaptureApproved,  // flag
    SetLoginItemStatus,        // loginItemStatus, flag (requires approval)
    SetApplicationHung,        // app, flag (hung)
    SimulateWake,
    SimulateSpaceChange,
    CommandDrag,  // target (status item or item), toX
    CloseWindow,  // app, text (the window's name; empty: its first window)
    Click,        // target, modifiers
    RightClick,   // target, modifiers
    PressKey,     // keyCode, modifiers (event flags)
    PressHotKey,  // keyCode, modifiers (event flags)
    TypeText,     // text
    Scroll,       // target.point (used when flag is set, else the pointer's), scrollX, scrollY,
                  // modifiers
  };

  double at = 0;
  Action action = Action::SimulateWake;
  std::string where;  // where it was written ("timeline[3]"), for reports

  std::optional<WorldApplication> application;
  AppReference app;
  bool flag = false;
  TimelineTarget target;
  std::optional<WorldScreen> screen;
  int number = 0;
  std::vector<platform::PowerSourceDescription> powerSources;
  platform::LoginItemStatus loginItemStatus = platform::LoginItemStatus::NotRegistered;
  double toX = 0;
  std::string text;
  std::uint32_t keyCode = 0;
  std::uint32_t modifiers = 0;
  double scrollX = 0;
  double scrollY = 0;
};

struct World {
  std::string name = "default";
  platform::OperatingSystemVersion os{27, 0, 0};
  std::vector<WorldScreen> screens;
  double menuBarHeight = 24;
  std::optional<Notch> notch;
  Point pointer;                // screen coordinates
  bool darkAppearance = false;  // the system's appearance: menus and the bar drawn dark

  bool accessibilityTrusted = true;
  bool reduceMotion = false;  // the system's "Reduce motion" accessibility setting
  bool screenCaptureApproved = false;
  platform::LoginItemStatus loginItemStatus = platform::LoginItemStatus::NotRegistered;
  bool loginRequiresApproval = false;
  std::optional<std::string> loginError;  // registering fails with this text

  SelfBundle self;
  VisibilityFramework visibilityFramework;

  std::vector<WorldApplication> applications;
  std::vector<InstalledBundle> installed;
  // Remembered placements of this process's status items by autosave name (as `position`).
  std::map<std::string, double> statusItemPlacements;

  std::vector<platform::PowerSourceDescription> powerSources;
  std::vector<platform::SymbolicHotKey> symbolicHotKeys;
  // What reading the symbolic hot key table answers: 0 gives the table, anything else is the
  // status the read fails with.
  std::int32_t symbolicHotKeysStatus = 0;

  double accessibilityLatency = 0;  // seconds per Accessibility message

  // Timed changes played on the desktop's clock once the program runs (`SimDesktop::playTimeline`),
  // in order of `at`.
  std::vector<TimelineStep> timeline;
};

}  // namespace tucklet::sim
