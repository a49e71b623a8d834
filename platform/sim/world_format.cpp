#include "platform/sim/world_format.h"

#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>

namespace tucklet::sim {

using namespace world_json;

namespace {

constexpr double kMaxPid = std::numeric_limits<pid_t>::max();
constexpr double kMaxUInt32 = std::numeric_limits<std::uint32_t>::max();

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// "27.0", "27.0.1" or {"major": 27, "minor": 0, "patch": 0}.
platform::OperatingSystemVersion readVersion(const Json& value, const std::string& path) {
  platform::OperatingSystemVersion version;
  if (value.is_object()) {
    ObjectReader object(value, path, {"major", "minor", "patch"});
    version.major = static_cast<int>(
        readInteger(object.require("major"), object.pathOf("major"), NumberRange::between(0, 999)));
    object.integer("minor", version.minor, NumberRange::between(0, 999));
    object.integer("patch", version.patch, NumberRange::between(0, 999));
    return version;
  }
  if (!value.is_string()) {
    fail(path, "expected a version such as \"27.0\" or an object, got " + describeKind(value));
  }
  const std::string text = value.get<std::string>();
  int parts[3] = {0, 0, 0};
  int count = 0;
  std::size_t at = 0;
  bool valid = !text.empty();
  while (valid && at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
      ++end;
    if (end == at || end - at > 3 || count == 3) {
      valid = false;
      break;
    }
    parts[count++] = std::stoi(text.substr(at, end - at));
    if (end == text.size()) break;
    valid = text[end] == '.' && end + 1 < text.size();
    at = end + 1;
  }
  if (!valid || count < 2) {
    fail(path, "expected a version such as \"27.0\" or \"26.1.2\", got " + quoted(text));
  }
  version.major = parts[0];
  version.minor = parts[1];
  version.patch = parts[2];
  return version;
}

WorldScreen readScreen(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"frame", "visibleFrame", "number"});
  WorldScreen screen;
  screen.frame = readRect(object.require("frame"), object.pathOf("frame"));
  if (screen.frame.isEmpty()) {
    fail(object.pathOf("frame"), "a screen needs a width and a height greater than 0");
  }
  if (const Json* visible = object.find("visibleFrame"); visible && !visible->is_null()) {
    screen.visibleFrame = readRect(*visible, object.pathOf("visibleFrame"));
  }
  object.integer("number", screen.number, NumberRange::between(1, 9999));
  return screen;
}

std::vector<WorldScreen> readScreens(const Json* value, const std::string& path) {
  if (value == nullptr) fail(path, "at least one screen is required");
  std::vector<WorldScreen> screens;
  std::map<int, std::string> numbered;  // explicit numbers and where they were given
  for (const auto& element : readList(*value, path)) {
    screens.push_back(readScreen(element.value, element.path));
    const int number = screens.back().number;
    if (number == 0) continue;
    if (auto [it, inserted] = numbered.emplace(number, element.path); !inserted) {
      fail(keyPath(element.path, "number"),
           "screen number " + std::to_string(number) + " is already used by " + it->second);
    }
  }
  if (screens.empty()) fail(path, "at least one screen is required");
  // Screens without a number take the next free one, in file order.
  int next = 1;
  for (auto& screen : screens) {
    if (screen.number != 0) continue;
    while (numbered.count(next) != 0)
      ++next;
    screen.number = next;
    numbered.emplace(next, "");
  }
  return screens;
}

MenuRow readMenuRow(const Json& value, const std::string& path) {
  MenuRow row;
  if (value.is_string()) {
    // Shorthand: "Quit" is an enabled row, "-" a separator.
    row.title = value.get<std::string>();
    if (row.title == "-") {
      row.title.clear();
      row.separator = true;
    }
    return row;
  }
  if (!value.is_object()) fail(path, "expected text or an object, got " + describeKind(value));
  ObjectReader object(value, path, {"title", "separator", "enabled"});
  object.text("title", row.title);
  object.flag("separator", row.separator);
  object.flag("enabled", row.enabled);
  return row;
}

ExtraLook readLook(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"symbol", "themeIcon", "imageFile", "text"});
  ExtraLook look;
  object.text("symbol", look.symbol);
  object.text("themeIcon", look.themeIcon);
  object.text("imageFile", look.imageFile);
  object.text("text", look.text);
  return look;
}

WorldExtra readExtra(const Json& value, const std::string& path) {
  ObjectReader object(
      value, path,
      {"structure",          "childRole", "itemRole", "identifier",       "title",
       "description",        "help",      "width",    "positionReadable", "sizeReadable",
       "childFrameReadable", "press",     "menu",     "windowSize",       "windowDelay",
       "windowTitle",        "position",  "fixed",    "control",          "look"});
  WorldExtra extra;
  if (const Json* structure = object.find("structure")) {
    extra.structure =
        readEnum<WorldExtra::Structure>(*structure, object.pathOf("structure"),
                                        {{"direct", WorldExtra::Structure::Direct},
                                         {"grandchild", WorldExtra::Structure::Grandchild}});
  }
  object.text("childRole", extra.childRole);
  object.text("itemRole", extra.itemRole);
  object.text("identifier", extra.identifier);
  object.text("title", extra.title);
  object.text("description", extra.description);
  object.text("help", extra.help);
  object.number("width", extra.width, NumberRange::nonNegative());
  object.flag("positionReadable", extra.positionReadable);
  object.flag("sizeReadable", extra.sizeReadable);
  object.flag("childFrameReadable", extra.childFrameReadable);
  if (const Json* press = object.find("press")) {
    extra.press = readEnum<PressBehaviour>(*press, object.pathOf("press"),
                                           {{"menu", PressBehaviour::OpensMenu},
                                            {"window", PressBehaviour::OpensWindow},
                                            {"showMenuOnly", PressBehaviour::ShowMenuOnly},
                                            {"unsupported-25206", PressBehaviour::Unsupported25206},
                                            {"unsupported-25208", PressBehaviour::Unsupported25208},
                                            {"hangs", PressBehaviour::Hangs}});
  }
  if (const Json* menu = object.find("menu")) {
    for (const auto& element : readList(*menu, object.pathOf("menu"))) {
      extra.menu.push_back(readMenuRow(element.value, element.path));
    }
  }
  if (const Json* size = object.find("windowSize")) {
    extra.windowSize = readSize(*size, object.pathOf("windowSize"));
  }
  object.number("windowDelay", extra.windowDelay, NumberRange::nonNegative());
  object.text("windowTitle", extra.windowTitle);
  object.number("position", extra.position);
  object.flag("fixed", extra.fixed);
  object.integer("control", extra.control, NumberRange::between(0, 8));
  if (const Json* look = object.find("look")) extra.look = readLook(*look, object.pathOf("look"));
  return extra;
}

WorldWindow readWindow(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"name", "bounds", "layer", "alpha"});
  WorldWindow window;
  object.text("name", window.name);
  window.bounds = readRect(object.require("bounds"), object.pathOf("bounds"));
  object.integer(
      "layer", window.layer,
      NumberRange::between(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
  object.number("alpha", window.alpha, NumberRange::between(0, 1));
  return window;
}

WorldApplication readApplication(const Json& value, const std::string& path) {
  ObjectReader object(value, path,
                      {"pid", "bundleIdentifier", "bundlePath", "localizedName", "iconTheme",
                       "iconFile", "frontmost", "hung", "accessibilityLatency", "menuWindowOwner",
                       "menus", "windows", "extras", "hotKeys"});
  WorldApplication app;
  app.pid = static_cast<pid_t>(
      readInteger(object.require("pid"), object.pathOf("pid"), NumberRange::between(1, kMaxPid)));
  object.text("bundleIdentifier", app.bundleIdentifier);
  object.text("bundlePath", app.bundlePath);
  object.text("localizedName", app.localizedName);
  object.text("iconTheme", app.iconTheme);
  object.text("iconFile", app.iconFile);
  object.flag("frontmost", app.frontmost);
  object.flag("hung", app.hung);
  object.number("accessibilityLatency", app.accessibilityLatency, NumberRange::nonNegative());
  object.text("menuWindowOwner", app.menuWindowOwner);
  if (const Json* menus = object.find("menus")) {
    for (const auto& element : readList(*menus, object.pathOf("menus"))) {
      app.menus.push_back(readText(element.value, element.path));
    }
  }
  if (const Json* windows = object.find("windows")) {
    for (const auto& element : readList(*windows, object.pathOf("windows"))) {
      app.windows.push_back(readWindow(element.value, element.path));
    }
  }
  if (const Json* extras = object.find("extras")) {
    for (const auto& element : readList(*extras, object.pathOf("extras"))) {
      app.extras.push_back(readExtra(element.value, element.path));
    }
  }
  if (const Json* hotKeys = object.find("hotKeys")) {
    for (const auto& element : readList(*hotKeys, object.pathOf("hotKeys"))) {
      ObjectReader entry(element.value, element.path, {"keyCode", "modifiers"});
      WorldHotKey hotKey;
      entry.integer("keyCode", hotKey.keyCode, NumberRange::between(0, kMaxUInt32));
      entry.integer("modifiers", hotKey.modifiers, NumberRange::between(0, kMaxUInt32));
      app.hotKeys.push_back(hotKey);
    }
  }
  return app;
}

std::vector<WorldApplication> readApplications(const Json& value, const std::string& path,
                                               pid_t selfPid) {
  std::vector<WorldApplication> apps;
  std::map<pid_t, std::string> pids;  // pid -> where it was first given
  std::optional<std::string> frontmost;
  for (const auto& element : readList(value, path)) {
    apps.push_back(readApplication(element.value, element.path));
    const WorldApplication& app = apps.back();
    const std::string pidPath = keyPath(element.path, "pid");
    if (app.pid == selfPid) {
      fail(pidPath, "pid " + std::to_string(app.pid) + " is Tucklet's own (self.pid)");
    }
    if (auto [it, inserted] = pids.emplace(app.pid, element.path); !inserted) {
      fail(pidPath, "pid " + std::to_string(app.pid) + " is already used by " + it->second);
    }
    if (app.frontmost) {
      if (frontmost) {
        fail(keyPath(element.path, "frontmost"),
             "only one application can be frontmost; " + *frontmost + " already is");
      }
      frontmost = element.path;
    }
  }
  return apps;
}

InstalledBundle readInstalled(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"path", "iconTheme", "iconFile"});
  InstalledBundle bundle;
  bundle.path = readText(object.require("path"), object.pathOf("path"));
  if (bundle.path.empty()) fail(object.pathOf("path"), "must not be empty");
  object.text("iconTheme", bundle.iconTheme);
  object.text("iconFile", bundle.iconFile);
  return bundle;
}

SelfBundle readSelf(const Json& value, const std::string& path) {
  ObjectReader object(value, path,
                      {"pid", "path", "identifier", "name", "iconTheme", "iconFile", "infoKeys"});
  SelfBundle self;
  object.integer("pid", self.pid, NumberRange::between(1, kMaxPid));
  object.text("path", self.path);
  object.text("identifier", self.identifier);
  object.text("name", self.name);
  object.text("iconTheme", self.iconTheme);
  object.text("iconFile", self.iconFile);
  if (const Json* keys = object.find("infoKeys")) {
    expectObject(*keys, object.pathOf("infoKeys"));
    for (const auto& [key, entry] : keys->items()) {
      self.infoKeys[key] = readText(entry, keyPath(object.pathOf("infoKeys"), key));
    }
  }
  return self;
}

VisibilityFrameworkFaults readFaults(const Json& value, const std::string& path) {
  ObjectReader object(
      value, path,
      {"configurationReturnsNothing", "throwAt", "throwReason", "throwWithoutReason",
       "activationError", "activationDelay", "handlerOnOtherThread", "hidesCaller"});
  VisibilityFrameworkFaults faults;
  object.flag("configurationReturnsNothing", faults.configurationReturnsNothing);
  if (const Json* throwAt = object.find("throwAt"); throwAt && !throwAt->is_null()) {
    // Kept as text (the framework stand-in matches on it); only the spelling is checked here.
    faults.throwAt = readText(*throwAt, object.pathOf("throwAt"));
    readEnum<int>(*throwAt, object.pathOf("throwAt"),
                  {{"configuration", 0}, {"creation", 1}, {"activation", 2}, {"invalidation", 3}});
  }
  object.text("throwReason", faults.throwReason);
  object.flag("throwWithoutReason", faults.throwWithoutReason);
  object.text("activationError", faults.activationError);
  object.number("activationDelay", faults.activationDelay, NumberRange::nonNegative());
  object.flag("handlerOnOtherThread", faults.handlerOnOtherThread);
  object.flag("hidesCaller", faults.hidesCaller);
  return faults;
}

VisibilityFramework readFramework(const Json& value, const std::string& path) {
  VisibilityFramework framework;
  if (value.is_null()) return framework;
  ObjectReader object(value, path, {"path", "faults"});
  object.text("path", framework.path);
  if (framework.path && framework.path->empty()) {
    fail(object.pathOf("path"), "must not be empty (leave it out when the framework is absent)");
  }
  if (const Json* faults = object.find("faults")) {
    framework.faults = readFaults(*faults, object.pathOf("faults"));
  }
  return framework;
}

platform::PowerSourceDescription readPowerSource(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"type", "currentCapacity", "maxCapacity", "powerSourceState"});
  platform::PowerSourceDescription source;
  object.text("type", source.type);
  object.integer("maxCapacity", source.maxCapacity, NumberRange::between(1, 1000000));
  object.integer("currentCapacity", source.currentCapacity,
                 NumberRange::between(0, source.maxCapacity));
  object.text("powerSourceState", source.powerSourceState);
  return source;
}

platform::SymbolicHotKey readHotKey(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"identifier", "enabled", "keyCode", "modifiers"});
  platform::SymbolicHotKey hotKey;
  object.integer("identifier", hotKey.identifier, NumberRange::between(0, 1000000));
  object.flag("enabled", hotKey.enabled);
  object.integer("keyCode", hotKey.keyCode, NumberRange::between(0, kMaxUInt32));
  object.integer("modifiers", hotKey.modifiers, NumberRange::between(0, kMaxUInt32));
  return hotKey;
}

}  // namespace

WorldScreen readWorldScreen(const Json& value, const std::string& path) {
  return readScreen(value, path);
}

WorldApplication readWorldApplication(const Json& value, const std::string& path) {
  return readApplication(value, path);
}

platform::PowerSourceDescription readWorldPowerSource(const Json& value, const std::string& path) {
  return readPowerSource(value, path);
}

World readWorld(const Json& root) {
  ObjectReader object(root, "",
                      {"name",
                       "os",
                       "screens",
                       "menuBarHeight",
                       "notch",
                       "pointer",
                       "accessibilityTrusted",
                       "reduceMotion",
                       "screenCaptureApproved",
                       "loginItemStatus",
                       "loginRequiresApproval",
                       "loginError",
                       "self",
                       "visibilityFramework",
                       "apps",
                       "installed",
                       "statusItemPlacements",
                       "powerSources",
                       "symbolicHotKeys",
                       "symbolicHotKeysStatus",
                       "accessibilityLatency",
                       "appearance",
                       "timeline"});
  World world;
  object.text("name", world.name);
  if (const Json* os = object.find("os")) world.os = readVersion(*os, "os");
  world.screens = readScreens(object.find("screens"), "screens");
  object.number("menuBarHeight", world.menuBarHeight, NumberRange::positive());
  if (const Json* notch = object.find("notch"); notch && !notch->is_null()) {
    ObjectReader notchObject(*notch, "notch", {"width"});
    Notch value;
    value.width = readNumber(notchObject.require("width"), "notch.width", NumberRange::positive());
    if (value.width >= world.screens.front().frame.width) {
      fail("notch.width", "must be narrower than the first screen");
    }
    world.notch = value;
  }
  if (const Json* pointer = object.find("pointer")) world.pointer = readPoint(*pointer, "pointer");
  if (const Json* appearance = object.find("appearance")) {
    world.darkAppearance =
        readEnum<bool>(*appearance, "appearance", {{"light", false}, {"dark", true}});
  }

  object.flag("accessibilityTrusted", world.accessibilityTrusted);
  object.flag("reduceMotion", world.reduceMotion);
  object.flag("screenCaptureApproved", world.screenCaptureApproved);
  if (const Json* status = object.find("loginItemStatus")) {
    world.loginItemStatus = readEnum<platform::LoginItemStatus>(
        *status, "loginItemStatus",
        {{"notRegistered", platform::LoginItemStatus::NotRegistered},
         {"enabled", platform::LoginItemStatus::Enabled},
         {"requiresApproval", platform::LoginItemStatus::RequiresApproval},
         {"notFound", platform::LoginItemStatus::NotFound}});
  }
  object.flag("loginRequiresApproval", world.loginRequiresApproval);
  object.text("loginError", world.loginError);

  if (const Json* self = object.find("self")) world.self = readSelf(*self, "self");
  if (const Json* framework = object.find("visibilityFramework")) {
    world.visibilityFramework = readFramework(*framework, "visibilityFramework");
  }
  if (const Json* apps = object.find("apps")) {
    world.applications = readApplications(*apps, "apps", world.self.pid);
  }
  if (const Json* installed = object.find("installed")) {
    for (const auto& element : readList(*installed, "installed")) {
      world.installed.push_back(readInstalled(element.value, element.path));
    }
  }
  if (const Json* placements = object.find("statusItemPlacements")) {
    expectObject(*placements, "statusItemPlacements");
    for (const auto& [name, position] : placements->items()) {
      world.statusItemPlacements[name] =
          readNumber(position, keyPath("statusItemPlacements", name));
    }
  }
  if (const Json* sources = object.find("powerSources")) {
    for (const auto& element : readList(*sources, "powerSources")) {
      world.powerSources.push_back(readPowerSource(element.value, element.path));
    }
  }
  if (const Json* hotKeys = object.find("symbolicHotKeys")) {
    for (const auto& element : readList(*hotKeys, "symbolicHotKeys")) {
      world.symbolicHotKeys.push_back(readHotKey(element.value, element.path));
    }
  }
  object.integer("symbolicHotKeysStatus", world.symbolicHotKeysStatus,
                 NumberRange::between(-2147483648.0, 2147483647.0));
  object.number("accessibilityLatency", world.accessibilityLatency, NumberRange::nonNegative());
  // Last: its steps may refer to anything above.
  if (const Json* timeline = object.find("timeline")) {
    TimelineContext context(world);
    world.timeline = readTimeline(*timeline, "timeline", context);
  }
  return world;
}

}  // namespace tucklet::sim
