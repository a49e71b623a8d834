// Reading a world's `timeline`: each step's time, its one action and the action's arguments, with
// references to applications and items checked against the world, so that a misspelt step is
// refused with the rest of the file instead of doing nothing halfway through a run.
#include <cmath>
#include <limits>

#include "platform/sim/sim_keys.h"
#include "platform/sim/world_format.h"
#include "platform/window_server.h"

namespace tucklet::sim {

using namespace world_json;
using Action = TimelineStep::Action;

namespace {

struct ActionName {
  std::string_view name;
  Action action;
};

constexpr ActionName kActions[] = {
    {"launchApplication", Action::LaunchApplication},
    {"quitApplication", Action::QuitApplication},
    {"setTrusted", Action::SetTrusted},
    {"setFrontmost", Action::SetFrontmost},
    {"setPointer", Action::SetPointer},
    {"addScreen", Action::AddScreen},
    {"removeScreen", Action::RemoveScreen},
    {"setPowerSources", Action::SetPowerSources},
    {"setScreenCaptureApproved", Action::SetScreenCaptureApproved},
    {"setLoginItemStatus", Action::SetLoginItemStatus},
    {"setApplicationHung", Action::SetApplicationHung},
    {"simulateWake", Action::SimulateWake},
    {"simulateSpaceChange", Action::SimulateSpaceChange},
    {"commandDrag", Action::CommandDrag},
    {"closeWindow", Action::CloseWindow},
    {"click", Action::Click},
    {"rightClick", Action::RightClick},
    {"pressKey", Action::PressKey},
    {"pressHotKey", Action::PressHotKey},
    {"typeText", Action::TypeText},
    {"scroll", Action::Scroll},
};

constexpr double kMaxPid = std::numeric_limits<pid_t>::max();

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

AppReference readAppReference(const Json& value, const std::string& path,
                              const TimelineContext& context) {
  AppReference app;
  if (value.is_number()) {
    app.pid = static_cast<pid_t>(readInteger(value, path, NumberRange::between(1, kMaxPid)));
  } else if (value.is_string()) {
    app.bundleIdentifier = value.get<std::string>();
    if (app.bundleIdentifier.empty()) fail(path, "must not be empty");
  } else {
    fail(path, "expected a pid or a bundle identifier, got " + describeKind(value));
  }
  context.check(app, path);
  return app;
}

std::uint32_t readModifiers(const ObjectReader& object) {
  const Json* list = object.find("modifiers");
  if (list == nullptr) return 0;
  std::uint32_t flags = 0;
  for (const auto& element : readList(*list, object.pathOf("modifiers"))) {
    flags |= readEnum<std::uint32_t>(element.value, element.path,
                                     {{"command", platform::ModifierCommand},
                                      {"shift", platform::ModifierShift},
                                      {"option", platform::ModifierOption},
                                      {"control", platform::ModifierControl}});
  }
  return flags;
}

// Exactly one of the target keys an object may give.
TimelineTarget readTarget(const ObjectReader& object, bool pointsAndRows,
                          const TimelineContext& context) {
  struct Choice {
    std::string_view key;
    TimelineTarget::Kind kind;
  };
  const Choice all[] = {{"point", TimelineTarget::Kind::Point},
                        {"statusItem", TimelineTarget::Kind::StatusItem},
                        {"item", TimelineTarget::Kind::Item},
                        {"menuRow", TimelineTarget::Kind::MenuRow},
                        {"settingsSwitch", TimelineTarget::Kind::SettingsSwitch}};
  std::vector<Choice> choices;
  for (const auto& choice : all) {
    const bool rowOrPoint = choice.kind == TimelineTarget::Kind::Point ||
                            choice.kind == TimelineTarget::Kind::MenuRow ||
                            choice.kind == TimelineTarget::Kind::SettingsSwitch;
    if (pointsAndRows || !rowOrPoint) choices.push_back(choice);
  }
  std::string names;
  for (const auto& choice : choices)
    names += std::string(names.empty() ? "" : ", ") + quoted(std::string(choice.key));

  std::optional<TimelineTarget> target;
  for (const auto& choice : choices) {
    const Json* value = object.find(choice.key);
    if (value == nullptr) continue;
    const auto path = object.pathOf(choice.key);
    if (target) fail(path, "give only one of " + names);
    TimelineTarget made;
    made.kind = choice.kind;
    if (choice.kind == TimelineTarget::Kind::Point) {
      made.point = readPoint(*value, path);
    } else {
      made.name = readText(*value, path);
      if (made.name.empty()) fail(path, "must not be empty");
      if (choice.kind == TimelineTarget::Kind::Item) context.checkItem(made.name, path);
    }
    target = made;
  }
  if (!target) fail(object.path(), "give one of " + names);
  return *target;
}

// A key by name ("escape", "k") or by virtual key code, with modifiers.
void readKey(const Json& value, const std::string& path, TimelineStep& step) {
  const auto named = [&](const Json& name, const std::string& namePath) {
    const auto text = readText(name, namePath);
    const auto code = keyCodeNamed(text);
    if (!code) failUnknownEnum(namePath, text, keyNames());
    return *code;
  };
  if (value.is_string()) {
    step.keyCode = named(value, path);
    return;
  }
  ObjectReader object(value, path, {"key", "keyCode", "modifiers"});
  const Json* key = object.find("key");
  const Json* code = object.find("keyCode");
  if ((key == nullptr) == (code == nullptr)) fail(path, "give one of \"key\", \"keyCode\"");
  step.keyCode = key ? named(*key, object.pathOf("key"))
                     : static_cast<std::uint32_t>(readInteger(*code, object.pathOf("keyCode"),
                                                              NumberRange::between(0, 65535)));
  step.modifiers = readModifiers(object);
}

// Actions without arguments take null, true or an empty object.
void readNoArguments(const Json& value, const std::string& path) {
  if (value.is_null() || (value.is_boolean() && value.get<bool>())) return;
  if (value.is_object() && value.empty()) return;
  fail(path, "takes no arguments: write null, true or {}, got " + describeKind(value));
}

}  // namespace

std::string AppReference::describe() const {
  return pid ? "pid " + std::to_string(*pid) : quoted(bundleIdentifier);
}

TimelineContext::TimelineContext(const World& world) : selfPid_(world.self.pid) {
  for (std::size_t i = 0; i < world.applications.size(); ++i)
    launch(world.applications[i], indexPath("apps", i));
  for (const auto& step : world.timeline) {
    if (step.application) launch(*step.application, step.where);
    lastAt = step.at;
  }
}

void TimelineContext::check(const AppReference& app, const std::string& path) const {
  const bool known = app.pid ? pids_.count(*app.pid) > 0 : bundles_.count(app.bundleIdentifier) > 0;
  if (!known) fail(path, "no application " + app.describe() + " in the world or launched before");
}

void TimelineContext::checkItem(const std::string& identifier, const std::string& path) const {
  if (items_.count(identifier) == 0)
    fail(path, "no item with identifier " + quoted(identifier) + " in the world");
}

void TimelineContext::launch(const WorldApplication& app, const std::string& path) {
  const std::string pidPath = keyPath(path, "pid");
  if (app.pid == selfPid_)
    fail(pidPath, "pid " + std::to_string(app.pid) + " is Tucklet's own (self.pid)");
  if (auto [it, inserted] = pids_.emplace(app.pid, path); !inserted)
    fail(pidPath, "pid " + std::to_string(app.pid) + " is already used by " + it->second);
  if (app.bundleIdentifier) bundles_.insert(*app.bundleIdentifier);
  for (const auto& extra : app.extras)
    if (extra.identifier) items_.insert(*extra.identifier);
}

std::vector<std::string_view> timelineActionNames() {
  std::vector<std::string_view> names;
  for (const auto& action : kActions)
    names.push_back(action.name);
  return names;
}

std::string_view timelineActionName(Action action) {
  for (const auto& entry : kActions)
    if (entry.action == action) return entry.name;
  return "?";
}

TimelineStep readTimelineAction(const std::string& name, const Json& value, const std::string& path,
                                TimelineContext& context) {
  TimelineStep step;
  const auto* entry = std::find_if(std::begin(kActions), std::end(kActions),
                                   [&name](const ActionName& a) { return a.name == name; });
  if (entry == std::end(kActions)) {
    if (auto suggestion = closestName(name, timelineActionNames()))
      fail(path, "unknown action (did you mean \"" + *suggestion + "\"?)");
    failUnknownEnum(path, name, timelineActionNames());
  }
  step.action = entry->action;

  switch (step.action) {
    case Action::LaunchApplication:
      step.application = readWorldApplication(value, path);
      context.launch(*step.application, path);
      break;
    case Action::QuitApplication:
    case Action::SetFrontmost:
      step.app = readAppReference(value, path, context);
      break;
    case Action::SetTrusted:
    case Action::SetScreenCaptureApproved:
      step.flag = readFlag(value, path);
      break;
    case Action::SetPointer:
      step.target.point = readPoint(value, path);
      break;
    case Action::AddScreen:
      step.screen = readWorldScreen(value, path);
      break;
    case Action::RemoveScreen:
      step.number = static_cast<int>(readInteger(value, path, NumberRange::between(1, 9999)));
      break;
    case Action::SetPowerSources:
      for (const auto& element : readList(value, path))
        step.powerSources.push_back(readWorldPowerSource(element.value, element.path));
      break;
    case Action::SetLoginItemStatus: {
      const auto status = [](const Json& text, const std::string& statusPath) {
        return readEnum<platform::LoginItemStatus>(
            text, statusPath,
            {{"notRegistered", platform::LoginItemStatus::NotRegistered},
             {"enabled", platform::LoginItemStatus::Enabled},
             {"requiresApproval", platform::LoginItemStatus::RequiresApproval},
             {"notFound", platform::LoginItemStatus::NotFound}});
      };
      if (value.is_string()) {
        step.loginItemStatus = status(value, path);
        break;
      }
      ObjectReader object(value, path, {"status", "requiresApproval"});
      step.loginItemStatus = status(object.require("status"), object.pathOf("status"));
      object.flag("requiresApproval", step.flag);
      break;
    }
    case Action::SetApplicationHung: {
      ObjectReader object(value, path, {"app", "hung"});
      step.app = readAppReference(object.require("app"), object.pathOf("app"), context);
      step.flag = true;
      object.flag("hung", step.flag);
      break;
    }
    case Action::SimulateWake:
    case Action::SimulateSpaceChange:
      readNoArguments(value, path);
      break;
    case Action::CommandDrag: {
      ObjectReader object(value, path, {"statusItem", "item", "toX"});
      step.target = readTarget(object, false, context);
      step.toX = readNumber(object.require("toX"), object.pathOf("toX"));
      break;
    }
    case Action::CloseWindow: {
      ObjectReader object(value, path, {"app", "name"});
      step.app = readAppReference(object.require("app"), object.pathOf("app"), context);
      object.text("name", step.text);
      break;
    }
    case Action::Click:
    case Action::RightClick: {
      ObjectReader object(
          value, path, {"point", "statusItem", "item", "menuRow", "settingsSwitch", "modifiers"});
      step.target = readTarget(object, true, context);
      step.modifiers = readModifiers(object);
      break;
    }
    case Action::PressKey:
    case Action::PressHotKey:
      readKey(value, path, step);
      break;
    case Action::TypeText:
      step.text = readText(value, path);
      break;
    case Action::Scroll: {
      ObjectReader object(value, path, {"point", "deltaX", "deltaY", "modifiers"});
      if (const Json* point = object.find("point")) {
        step.flag = true;
        step.target.point = readPoint(*point, object.pathOf("point"));
      }
      if (const Json* dx = object.find("deltaX"))
        step.scrollX = readNumber(*dx, object.pathOf("deltaX"));
      if (const Json* dy = object.find("deltaY"))
        step.scrollY = readNumber(*dy, object.pathOf("deltaY"));
      if (step.scrollX == 0 && step.scrollY == 0)
        fail(path, "a scroll needs \"deltaX\" or \"deltaY\" other than 0");
      step.modifiers = readModifiers(object);
      break;
    }
  }
  return step;
}

TimelineStep readTimelineStep(const Json& value, const std::string& path,
                              TimelineContext& context) {
  expectObject(value, path);
  std::vector<std::string_view> allowed{"at"};
  for (const auto& action : kActions)
    allowed.push_back(action.name);
  // Unknown keys first, each with the action it probably meant.
  for (const auto& [key, unused] : value.items()) {
    if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
    std::string message = "unknown action";
    if (auto suggestion = closestName(key, allowed))
      message += " (did you mean \"" + *suggestion + "\"?)";
    fail(keyPath(path, key), message);
  }
  const auto atIt = value.find("at");
  if (atIt == value.end()) fail(keyPath(path, "at"), "required but missing");
  const double at = readNumber(*atIt, keyPath(path, "at"), NumberRange::nonNegative());
  if (at < context.lastAt) {
    fail(keyPath(path, "at"),
         "must not be earlier than the step before it (" + formatNumber(context.lastAt) + ")");
  }

  std::optional<std::string> action;
  for (const auto& [key, arguments] : value.items()) {
    if (key == "at") continue;
    if (action)
      fail(keyPath(path, key), "one action per step; this one already has \"" + *action + "\"");
    action = key;
  }
  if (!action) fail(path, "no action: a step is {\"at\": seconds, \"<action>\": arguments}");
  TimelineStep step =
      readTimelineAction(*action, value.at(*action), keyPath(path, *action), context);
  step.at = at;
  step.where = path;
  context.lastAt = at;
  return step;
}

std::vector<TimelineStep> readTimeline(const Json& value, const std::string& path,
                                       TimelineContext& context) {
  std::vector<TimelineStep> steps;
  for (const auto& element : readList(value, path))
    steps.push_back(readTimelineStep(element.value, element.path, context));
  return steps;
}

}  // namespace tucklet::sim
