// Carrying out a timeline's steps: each step finds its target in the desktop as it is when the
// step's time comes (a bundle identifier's running application, a status item's place in the bar)
// and calls the one mutation it names.
#include <algorithm>

#include "platform/sim/desktop.h"
#include "platform/sim/sim_events.h"
#include "platform/sim/world_format.h"

namespace tucklet::sim {
namespace {

using Action = TimelineStep::Action;

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

Point middle(const Rect& frame) {
  return {frame.midX(), frame.midY()};
}

}  // namespace

std::optional<std::string> SimDesktop::perform(const TimelineStep& step) {
  // The running application a reference names: by pid, or the first with the bundle identifier.
  const auto running = [this](const AppReference& app) -> std::optional<pid_t> {
    for (const auto& entry : workspace().runningApplications()) {
      if (app.pid ? entry.pid == *app.pid : entry.bundleIdentifier == app.bundleIdentifier)
        return entry.pid;
    }
    return std::nullopt;
  };
  // The bar's slot a target names, and why there is none.
  const auto slotFor = [this](const TimelineTarget& target,
                              std::string& why) -> std::optional<BarSlot> {
    for (const auto& slot : menuBarLayout()) {
      const bool named =
          target.kind == TimelineTarget::Kind::StatusItem
              ? slot.kind == BarSlot::Kind::OwnStatusItem && slot.autosaveName == target.name
              : slot.kind == BarSlot::Kind::Extra && extra(slot.extra) &&
                    extra(slot.extra)->identifier == target.name;
      if (named) return slot;
    }
    why = (target.kind == TimelineTarget::Kind::StatusItem ? "no status item " : "no item ") +
          quoted(target.name) + " in the menu bar";
    return std::nullopt;
  };
  const auto notRunning = [](const AppReference& app) {
    return "no running application " + app.describe();
  };

  switch (step.action) {
    case Action::LaunchApplication:
      launchApplication(*step.application);
      return std::nullopt;
    case Action::QuitApplication: {
      const auto pid = running(step.app);
      if (!pid) return notRunning(step.app);
      quitApplication(*pid);
      return std::nullopt;
    }
    case Action::SetTrusted:
      setTrusted(step.flag);
      return std::nullopt;
    case Action::SetFrontmost: {
      const auto pid = running(step.app);
      if (!pid) return notRunning(step.app);
      setFrontmost(*pid);
      return std::nullopt;
    }
    case Action::SetPointer:
      setPointer(step.target.point);
      return std::nullopt;
    case Action::AddScreen: {
      const auto& screens = world().screens;
      const int number = step.screen->number;
      if (number > 0 && std::any_of(screens.begin(), screens.end(),
                                    [number](const WorldScreen& s) { return s.number == number; }))
        return "screen number " + std::to_string(number) + " is already in use";
      addScreen(*step.screen);
      return std::nullopt;
    }
    case Action::RemoveScreen: {
      const auto screens = world().screens;
      const int number = step.number;
      if (std::none_of(screens.begin(), screens.end(),
                       [number](const WorldScreen& s) { return s.number == number; }))
        return "no screen number " + std::to_string(number);
      if (screens.size() == 1) return "the last screen stays";
      removeScreen(number);
      return std::nullopt;
    }
    case Action::SetPowerSources:
      setPowerSources(step.powerSources);
      return std::nullopt;
    case Action::SetScreenCaptureApproved:
      setScreenCaptureApproved(step.flag);
      return std::nullopt;
    case Action::SetLoginItemStatus:
      setLoginItemStatus(step.loginItemStatus, step.flag);
      return std::nullopt;
    case Action::SetApplicationHung: {
      const auto pid = running(step.app);
      if (!pid) return notRunning(step.app);
      setApplicationHung(*pid, step.flag);
      return std::nullopt;
    }
    case Action::SimulateWake:
      simulateWake();
      return std::nullopt;
    case Action::SimulateSpaceChange:
      simulateSpaceChange();
      return std::nullopt;
    case Action::CommandDrag: {
      std::string why;
      const auto slot = slotFor(step.target, why);
      if (!slot) return why;
      if (!commandDrag(*slot, step.toX)) return "cannot be dragged (fixed or hidden)";
      return std::nullopt;
    }
    case Action::CloseWindow: {
      const auto pid = running(step.app);
      if (!pid) return notRunning(step.app);
      for (const auto& window : windowServer().onScreenWindows(true)) {
        if (window.ownerPid != *pid || window.layer != 0) continue;
        if (!step.text.empty() && window.name != step.text) continue;
        closeWindow(window.number);
        return std::nullopt;
      }
      return step.text.empty() ? "no window of " + step.app.describe()
                               : "no window " + quoted(step.text) + " of " + step.app.describe();
    }
    case Action::Click:
    case Action::RightClick: {
      const bool right = step.action == Action::RightClick;
      switch (step.target.kind) {
        case TimelineTarget::Kind::Point:
          click(step.target.point, step.modifiers, right);
          return std::nullopt;
        case TimelineTarget::Kind::SettingsSwitch: {
          const auto point = settingsSwitchPoint(step.target.name);
          if (!point)
            return "no row " + quoted(step.target.name) +
                   " in an Accessibility window of System Settings";
          click(*point, step.modifiers, right);
          return std::nullopt;
        }
        case TimelineTarget::Kind::MenuRow:
          if (!chooseMenuRow(step.target.name))
            return "no enabled row " + quoted(step.target.name) + " in an open menu";
          return std::nullopt;
        case TimelineTarget::Kind::StatusItem:
        case TimelineTarget::Kind::Item: {
          std::string why;
          const auto slot = slotFor(step.target, why);
          if (!slot) return why;
          if (!slot->shown || slot->hiddenByAssertion)
            return quoted(step.target.name) + " is off-screen";
          click(middle(slot->frame), step.modifiers, right);
          return std::nullopt;
        }
      }
      return std::nullopt;
    }
    case Action::PressKey:
      pressKey(static_cast<std::uint16_t>(step.keyCode), step.modifiers);
      return std::nullopt;
    case Action::PressHotKey:
      pressHotKey(step.keyCode, carbonModifiers(step.modifiers));
      return std::nullopt;
    case Action::TypeText:
      typeText(step.text);
      return std::nullopt;
    case Action::Scroll: {
      platform::InputEvent event;
      event.type = platform::EventType::ScrollWheel;
      event.location = step.flag ? step.target.point : world().pointer;
      event.scrollDeltaX = step.scrollX;
      event.scrollDeltaY = step.scrollY;
      event.modifiers = step.modifiers;
      windowServer().postEvent(event);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace tucklet::sim
