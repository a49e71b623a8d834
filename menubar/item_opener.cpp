#include "menubar/item_opener.h"

#include "menubar/items_menu.h"
#include "visibility/visibility_engine.h"

namespace tucklet {

namespace {

// How long the icon is waited for after the reveal, and how often it is looked for meanwhile.
constexpr double iconWait = 0.3;
constexpr double iconPollInterval = 0.012;
// How long a menu that was never seen is waited for after the press.
constexpr double menuWait = 0.45;
constexpr double menuPollInterval = 0.08;
// A click elsewhere closes the item's menu; the menu is looked at again once it has had time to go.
constexpr double mouseUpGrace = 0.025;
constexpr std::uint16_t escapeKeyCode = 53;

constexpr const char* hiddenSystemItemText =
    " cannot open while hidden. Use Show All to access it.";
constexpr const char* noAccessibilityClicksText =
    " does not support Accessibility clicks. Click its revealed icon instead.";

}  // namespace

ItemOpener::ItemOpener(platform::Platform& platform, const Preferences& preferences, Notice& notice,
                       const platform::Lifetime& lifetime, VisibilityEngine& engine,
                       ItemsMenu& itemsMenu)
    : platform_(platform),
      preferences_(preferences),
      notice_(notice),
      lifetime_(lifetime),
      engine_(engine),
      itemsMenu_(itemsMenu) {}

bool ItemOpener::pressedWhereItIs(const BarItem& item) const {
  const auto& workspace = platform_.workspace;
  return engine_.nativeVisibility() && isSystemOwnerBundle(ownerBundle(item, workspace)) &&
         !systemControl(item, workspace);
}

void ItemOpener::openItem(const BarItem& item) {
  if (engine_.setupInProgress()) return;
  engine_.beginOpening();
  interactionBegan_ = platform_.runLoop.uptime();
  latency_ = {{"actionAt", interactionBegan_}};
  itemsMenu_.cancelMenuTracking();
  engine_.stopAutoCollapse();
  endOpening();

  if (!engine_.nativeVisibility()) {
    engine_.fullReveal();
    waitForIcon(item);
    return;
  }
  // The visibility interface cannot reveal the system's items that are no control of its own:
  // such an item is pressed where it is, which works only while it shows.
  if (pressedWhereItIs(item)) {
    press(item);
    return;
  }
  // A failed reveal has restored everything and said why: nothing more to do.
  engine_.activateNativeVisibility(item, lifetime_.guard([this, item](bool revealed) {
    if (revealed) waitForIcon(item);
  }),
                                   nullptr);
}

void ItemOpener::waitForIcon(const BarItem& item) {
  engine_.setBusy(true);
  pollIcon(item, engine_.visibilityGeneration(), platform_.runLoop.uptime() + iconWait);
}

void ItemOpener::pollIcon(const BarItem& item, std::int64_t generation, double deadline) {
  if (engine_.visibilityGeneration() != generation) return;
  auto& ax = platform_.accessibility;
  auto& runLoop = platform_.runLoop;
  auto found =
      lifetime_.guard([this, item, generation, deadline](std::optional<BarItem> fresh, bool ready) {
        if (engine_.visibilityGeneration() != generation) return;
        if (fresh && ready) {
          recordLatency("iconReady");
          press(*fresh);
        } else if (platform_.runLoop.uptime() < deadline) {
          platform_.runLoop.asyncAfter(iconPollInterval,
                                       lifetime_.guard([this, item, generation, deadline] {
                                         pollIcon(item, generation, deadline);
                                       }));
        } else {
          // Not where a click would reach it in time: pressing it may still work.
          recordLatency("layoutFallback");
          press(fresh.value_or(item));
        }
      });
  runLoop.background(platform::QualityOfService::UserInitiated,
                     [&ax, &runLoop, item, found = std::move(found)]() mutable {
                       auto fresh = refindItem(ax, item);
                       const bool ready = fresh && itemIsReady(ax, *fresh);
                       runLoop.async([found = std::move(found), fresh = std::move(fresh),
                                      ready]() mutable { found(std::move(fresh), ready); });
                     });
}

void ItemOpener::press(const BarItem& item) {
  engine_.setBusy(true);
  const auto generation = engine_.visibilityGeneration();
  auto before = ownerWindowNumbers(platform_.windowServer, platform_.workspace, item);
  lastOpenedItem_ = item;
  lastOpenedBeforeWindows_ = before;
  recordLatency("pressSent");

  auto& ax = platform_.accessibility;
  auto& runLoop = platform_.runLoop;
  auto result = lifetime_.guard([this, item, before = std::move(before), generation](bool pressed) {
    if (engine_.visibilityGeneration() == generation) pressResult(item, before, pressed);
  });
  runLoop.background(
      platform::QualityOfService::UserInitiated,
      [&ax, &runLoop, item, result = std::move(result)]() mutable {
        const bool pressed = pressItem(ax, item);
        runLoop.async([result = std::move(result), pressed]() mutable { result(pressed); });
      });
}

void ItemOpener::pressResult(const BarItem& item, const WindowNumbers& before, bool pressed) {
  engine_.setBusy(false);
  if (!pressed) {
    pressFailed(item);
    return;
  }
  recordLatency("pressReturned");
  activeItem_ = item;
  windowsBeforeOpen_ = before;
  activeWindowIDs_.clear();
  for (const auto number : ownerWindowNumbers(platform_.windowServer, platform_.workspace, item))
    if (!before.contains(number)) activeWindowIDs_.insert(number);
  menuWasObserved_ = menuShowing();
  if (menuWasObserved_) recordLatency("menuObserved");
  openingDeadline_ = platform_.runLoop.uptime() + menuWait;

  observeMenus(item);
  // In the common modes, like the observer: the poll goes on whatever mode the loop runs in.
  menuTimer_ = platform_.runLoop.scheduleTimer(menuPollInterval, true, platform::TimerMode::Common,
                                               lifetime_.guard([this] { menuPoll(); }));
  monitorEvents();
}

void ItemOpener::pressFailed(const BarItem& item) {
  if (pressedWhereItIs(item))
    notice_.show(displayName(item, platform_.workspace) + hiddenSystemItemText);
  else
    notice_.show(item.appName + noAccessibilityClicksText);
  // The icons stay revealed: in divider mode until the automatic fold, in native mode (where the
  // reveal still holds) until the next hide, reveal or opening.
  engine_.scheduleAutoCollapse();
}

bool ItemOpener::menuShowing() const {
  if (!activeItem_) return false;
  if (menuOpened(platform_.accessibility, *activeItem_)) return true;
  for (const auto number :
       menuWindowNumbers(platform_.windowServer, platform_.workspace, *activeItem_))
    if (activeWindowIDs_.contains(number)) return true;
  return false;
}

void ItemOpener::whileOpen(double delay, std::function<void()> work) {
  auto run = lifetime_.guard([this, watch = watch_, work = std::move(work)] {
    if (watch == watch_ && activeItem_) work();
  });
  if (delay > 0)
    platform_.runLoop.asyncAfter(delay, std::move(run));
  else
    platform_.runLoop.async(std::move(run));
}

void ItemOpener::observeMenus(const BarItem& item) {
  auto& ax = platform_.accessibility;
  const auto menus = itemMenus(ax, item);
  if (menus.empty()) return;
  auto observer = ax.createObserver(
      item.pid,
      lifetime_.guard([this, watch = watch_](const platform::AXElementRef&, const std::string&) {
        if (watch != watch_) return;
        whileOpen(0, [this] {
          if (!menuShowing()) finishOpening();
        });
      }));
  if (!observer) return;
  for (const auto& menu : menus)
    observer->addNotification(menu, "AXMenuClosed");
  observer->attach();
  menuObserver_ = std::move(observer);
}

void ItemOpener::monitorEvents() {
  using platform::EventType;
  const auto mask = platform::eventMaskFor(EventType::LeftMouseUp) |
                    platform::eventMaskFor(EventType::RightMouseUp) |
                    platform::eventMaskFor(EventType::KeyDown);
  globalMonitor_ = platform_.windowServer.addGlobalMonitor(
      mask, lifetime_.guard([this, watch = watch_](const platform::InputEvent& event) {
        if (watch != watch_) return;
        if (event.type == EventType::KeyDown) {
          if (event.keyCode == escapeKeyCode) whileOpen(0, [this] { finishOpening(); });
          return;
        }
        whileOpen(mouseUpGrace, [this] {
          if (!menuShowing()) finishOpening();
        });
      }));
}

void ItemOpener::menuPoll() {
  if (!activeItem_) return;
  for (const auto number :
       ownerWindowNumbers(platform_.windowServer, platform_.workspace, *activeItem_))
    if (!windowsBeforeOpen_.contains(number)) activeWindowIDs_.insert(number);
  if (menuShowing()) {
    if (!menuWasObserved_) {
      recordLatency("menuObserved");
      menuWasObserved_ = true;
    }
    return;
  }
  if (menuWasObserved_ || platform_.runLoop.uptime() > openingDeadline_) finishOpening();
}

void ItemOpener::finishOpening() {
  recordLatency("closeObserved");
  endOpening();
  if (engine_.nativeVisibility()) {
    if (engine_.trusted()) {
      engine_.activateNativeVisibility(std::nullopt, lifetime_.guard([this](bool hidden) {
        if (hidden) recordLatency("hideCommitted");
      }),
                                       nullptr);
    } else {
      engine_.fullReveal();
    }
    return;
  }
  if (preferences_.autoCollapse()) engine_.scheduleAutoCollapse();
}

void ItemOpener::endOpening() {
  const bool wasOpening = activeItem_.has_value();
  ++watch_;
  if (menuTimer_) menuTimer_->invalidate();
  menuTimer_.reset();
  if (menuObserver_) {
    menuObserver_->detach();
    menuObserver_.reset();
  }
  globalMonitor_.reset();
  activeItem_.reset();
  activeWindowIDs_.clear();
  windowsBeforeOpen_.clear();
  if (wasOpening) engine_.holdReleased();
}

void ItemOpener::recordLatency(const std::string& mark) {
  if (interactionBegan_ == 0) return;
  const double now = platform_.runLoop.uptime();
  latency_[mark + "Ms"] = (now - interactionBegan_) * 1000;
  latency_[mark + "At"] = now;
}

}  // namespace tucklet
