// Reading world files: every kind of value, the defaults, and the one-line errors.
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/sim/world_loader.h"

namespace tucklet::sim {
namespace {

using nlohmann::json;

json minimalWorld() {
  return json::parse(R"({"screens": [{"frame": {"x": 0, "y": 0, "width": 1440, "height": 900}}]})");
}

json withApp(json app) {
  json world = minimalWorld();
  world["apps"] = json::array({std::move(app)});
  return world;
}

json withExtra(json extra) {
  return withApp({{"pid", 412}, {"extras", json::array({std::move(extra)})}});
}

World loadText(const std::string& text) {
  WorldResult result = parseWorld(text, "test.json");
  if (auto* error = std::get_if<WorldError>(&result)) {
    ADD_FAILURE() << "unexpected error: " << error->describe();
    return {};
  }
  return std::get<World>(result);
}

World load(const json& world) {
  return loadText(world.dump());
}

// The one-line description of the error, or "loaded" when the text was accepted.
std::string errorOfText(const std::string& text) {
  WorldResult result = parseWorld(text, "my.json");
  if (auto* error = std::get_if<WorldError>(&result)) return error->describe();
  return "loaded";
}

std::string errorOf(const json& world) {
  return errorOfText(world.dump());
}

TEST(WorldLoaderValues, MinimalWorldTakesTheDocumentedDefaults) {
  World world = load(minimalWorld());
  EXPECT_EQ(world.name, "default");
  EXPECT_EQ(world.os.major, 27);
  EXPECT_EQ(world.os.minor, 0);
  ASSERT_EQ(world.screens.size(), 1u);
  EXPECT_EQ(world.screens[0].frame, (Rect{0, 0, 1440, 900}));
  EXPECT_FALSE(world.screens[0].visibleFrame.has_value());
  EXPECT_EQ(world.screens[0].number, 1);
  EXPECT_EQ(world.menuBarHeight, 24);
  EXPECT_FALSE(world.notch.has_value());
  EXPECT_TRUE(world.accessibilityTrusted);
  EXPECT_EQ(world.loginItemStatus, platform::LoginItemStatus::NotRegistered);
  EXPECT_EQ(world.self.pid, 900);
  EXPECT_EQ(world.self.path, "/Applications/Tucklet.app");
  EXPECT_EQ(world.self.identifier, "local.quenby.Quiverly");
  EXPECT_FALSE(world.visibilityFramework.path.has_value());
  EXPECT_TRUE(world.applications.empty());
  EXPECT_EQ(world.accessibilityLatency, 0);
}

TEST(WorldLoaderValues, TopLevelScalarsAndMaps) {
  json world = minimalWorld();
  world["name"] = "office";
  world["os"] = "26.1.2";
  world["menuBarHeight"] = 37;
  world["notch"] = {{"width", 180}};
  world["pointer"] = {{"x", 10.5}, {"y", -3}};
  world["accessibilityTrusted"] = false;
  world["screenCaptureApproved"] = true;
  world["loginItemStatus"] = "requiresApproval";
  world["loginRequiresApproval"] = true;
  world["loginError"] = "Operation not permitted";
  world["self"] = {{"pid", 77},
                   {"identifier", nullptr},
                   {"infoKeys", {{"SUFeedURL", "https://x.example/a.xml"}}}};
  world["statusItemPlacements"] = {{"QuiverlyToggle", 100}, {"QuiverlyBoundary", 110.5}};
  world["powerSources"] = json::array({{{"type", "InternalBattery"},
                                        {"currentCapacity", 40},
                                        {"maxCapacity", 80},
                                        {"powerSourceState", "AC Power"}}});
  world["symbolicHotKeys"] =
      json::array({{{"identifier", 64}, {"enabled", false}, {"keyCode", 49}, {"modifiers", 256}}});
  world["accessibilityLatency"] = 0.25;
  world["installed"] = json::array({{{"path", "/Applications/Slack.app"}, {"iconTheme", "x"}}});

  World loaded = load(world);
  EXPECT_EQ(loaded.name, "office");
  EXPECT_EQ(loaded.os.major, 26);
  EXPECT_EQ(loaded.os.minor, 1);
  EXPECT_EQ(loaded.os.patch, 2);
  EXPECT_EQ(loaded.menuBarHeight, 37);
  ASSERT_TRUE(loaded.notch.has_value());
  EXPECT_EQ(loaded.notch->width, 180);
  EXPECT_EQ(loaded.pointer, (Point{10.5, -3}));
  EXPECT_FALSE(loaded.accessibilityTrusted);
  EXPECT_TRUE(loaded.screenCaptureApproved);
  EXPECT_EQ(loaded.loginItemStatus, platform::LoginItemStatus::RequiresApproval);
  EXPECT_TRUE(loaded.loginRequiresApproval);
  EXPECT_EQ(loaded.loginError, "Operation not permitted");
  EXPECT_EQ(loaded.self.pid, 77);
  EXPECT_FALSE(loaded.self.identifier.has_value()) << "null means the bundle reports none";
  EXPECT_EQ(loaded.self.path, "/Applications/Tucklet.app") << "an absent key keeps its default";
  EXPECT_EQ(loaded.self.infoKeys.at("SUFeedURL"), "https://x.example/a.xml");
  EXPECT_EQ(loaded.statusItemPlacements.at("QuiverlyBoundary"), 110.5);
  ASSERT_EQ(loaded.powerSources.size(), 1u);
  EXPECT_EQ(loaded.powerSources[0].currentCapacity, 40);
  EXPECT_EQ(loaded.powerSources[0].maxCapacity, 80);
  EXPECT_EQ(loaded.powerSources[0].powerSourceState, "AC Power");
  ASSERT_EQ(loaded.symbolicHotKeys.size(), 1u);
  EXPECT_FALSE(loaded.symbolicHotKeys[0].enabled);
  EXPECT_EQ(loaded.symbolicHotKeys[0].keyCode, 49u);
  EXPECT_EQ(loaded.symbolicHotKeys[0].modifiers, 256u);
  EXPECT_EQ(loaded.accessibilityLatency, 0.25);
  ASSERT_EQ(loaded.installed.size(), 1u);
  EXPECT_EQ(loaded.installed[0].path, "/Applications/Slack.app");
}

TEST(WorldLoaderValues, VersionAsObjectAndScreensNumberedAroundExplicitOnes) {
  json world = minimalWorld();
  world["os"] = {{"major", 26}, {"minor", 4}};
  json screen = world["screens"][0];
  json numbered = screen;
  numbered["number"] = 1;
  numbered["visibleFrame"] = {{"x", 0}, {"y", 0}, {"width", 1440}, {"height", 875}};
  world["screens"] = json::array({screen, numbered, screen});

  World loaded = load(world);
  EXPECT_EQ(loaded.os.major, 26);
  EXPECT_EQ(loaded.os.minor, 4);
  EXPECT_EQ(loaded.os.patch, 0);
  ASSERT_EQ(loaded.screens.size(), 3u);
  EXPECT_EQ(loaded.screens[0].number, 2);
  EXPECT_EQ(loaded.screens[1].number, 1);
  EXPECT_EQ(loaded.screens[2].number, 3);
  EXPECT_EQ(loaded.screens[1].visibleFrame, (Rect{0, 0, 1440, 875}));
}

TEST(WorldLoaderValues, ApplicationFields) {
  World loaded = load(withApp({{"pid", 412},
                               {"bundleIdentifier", "com.raycast.macos"},
                               {"bundlePath", "/Applications/Raycast.app"},
                               {"localizedName", "Raycast"},
                               {"iconTheme", "system-search"},
                               {"frontmost", true},
                               {"hung", true},
                               {"accessibilityLatency", 0.05},
                               {"menuWindowOwner", "com.apple.MenuBarAgent"},
                               {"menus", {"File", "Edit"}},
                               {"windows",
                                {{{"name", "Main"},
                                  {"bounds", {{"x", 1}, {"y", 2}, {"width", 3}, {"height", 4}}},
                                  {"layer", 25},
                                  {"alpha", 0.5}}}}}));
  ASSERT_EQ(loaded.applications.size(), 1u);
  const WorldApplication& app = loaded.applications[0];
  EXPECT_EQ(app.pid, 412);
  EXPECT_EQ(app.bundleIdentifier, "com.raycast.macos");
  EXPECT_EQ(app.bundlePath, "/Applications/Raycast.app");
  EXPECT_EQ(app.localizedName, "Raycast");
  EXPECT_EQ(app.iconTheme, "system-search");
  EXPECT_TRUE(app.frontmost);
  EXPECT_TRUE(app.hung);
  EXPECT_EQ(app.accessibilityLatency, 0.05);
  EXPECT_EQ(app.menuWindowOwner, "com.apple.MenuBarAgent");
  EXPECT_EQ(app.menus, (std::vector<std::string>{"File", "Edit"}));
  ASSERT_EQ(app.windows.size(), 1u);
  EXPECT_EQ(app.windows[0].bounds, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(app.windows[0].layer, 25);
  EXPECT_EQ(app.windows[0].alpha, 0.5);

  World bare = load(withApp({{"pid", 5}}));
  EXPECT_FALSE(bare.applications[0].bundleIdentifier.has_value());
  EXPECT_FALSE(bare.applications[0].accessibilityLatency.has_value());
}

TEST(WorldLoaderValues, ExtraFieldsAndMenuRowForms) {
  World loaded = load(withExtra(
      {{"structure", "grandchild"},
       {"childRole", "AXGroup"},
       {"itemRole", " AXMenuBarItem "},
       {"identifier", "com.example.item"},
       {"title", "Title"},
       {"description", "Description"},
       {"help", "Help"},
       {"width", 31.5},
       {"positionReadable", false},
       {"sizeReadable", false},
       {"childFrameReadable", false},
       {"press", "window"},
       {"windowSize", {{"width", 300}, {"height", 200}}},
       {"windowDelay", 0.2},
       {"windowTitle", "Panel"},
       {"position", -5},
       {"fixed", true},
       {"control", 8},
       {"look", {{"symbol", "wifi"}, {"text", "9:41"}}},
       {"menu", {"Open", "-", {{"title", "Status"}, {"enabled", false}}, {{"separator", true}}}}}));
  const WorldExtra& extra = loaded.applications.at(0).extras.at(0);
  EXPECT_EQ(extra.structure, WorldExtra::Structure::Grandchild);
  EXPECT_EQ(extra.childRole, "AXGroup");
  EXPECT_EQ(extra.itemRole, " AXMenuBarItem ") << "role text is kept as written";
  EXPECT_EQ(extra.identifier, "com.example.item");
  EXPECT_EQ(extra.title, "Title");
  EXPECT_EQ(extra.description, "Description");
  EXPECT_EQ(extra.help, "Help");
  EXPECT_EQ(extra.width, 31.5);
  EXPECT_FALSE(extra.positionReadable);
  EXPECT_FALSE(extra.sizeReadable);
  EXPECT_FALSE(extra.childFrameReadable);
  EXPECT_EQ(extra.press, PressBehaviour::OpensWindow);
  EXPECT_EQ(extra.windowSize, (Size{300, 200}));
  EXPECT_EQ(extra.windowDelay, 0.2);
  EXPECT_EQ(extra.windowTitle, "Panel");
  EXPECT_EQ(extra.position, -5);
  EXPECT_TRUE(extra.fixed);
  EXPECT_EQ(extra.control, 8);
  EXPECT_EQ(extra.look.symbol, "wifi");
  EXPECT_EQ(extra.look.text, "9:41");
  ASSERT_EQ(extra.menu.size(), 4u);
  EXPECT_EQ(extra.menu[0].title, "Open");
  EXPECT_FALSE(extra.menu[0].separator);
  EXPECT_TRUE(extra.menu[1].separator);
  EXPECT_TRUE(extra.menu[1].title.empty());
  EXPECT_EQ(extra.menu[2].title, "Status");
  EXPECT_FALSE(extra.menu[2].enabled);
  EXPECT_TRUE(extra.menu[3].separator);

  const WorldExtra plain = load(withExtra(json::object())).applications.at(0).extras.at(0);
  EXPECT_EQ(plain.structure, WorldExtra::Structure::Direct);
  EXPECT_EQ(plain.press, PressBehaviour::OpensMenu);
  EXPECT_EQ(plain.width, 22);
  EXPECT_FALSE(plain.title.has_value());
  EXPECT_FALSE(plain.position.has_value());
  EXPECT_FALSE(plain.control.has_value());
}

TEST(WorldLoaderValues, EveryEnumerationText) {
  const std::pair<const char*, PressBehaviour> presses[] = {
      {"menu", PressBehaviour::OpensMenu},
      {"window", PressBehaviour::OpensWindow},
      {"showMenuOnly", PressBehaviour::ShowMenuOnly},
      {"unsupported-25206", PressBehaviour::Unsupported25206},
      {"unsupported-25208", PressBehaviour::Unsupported25208},
      {"hangs", PressBehaviour::Hangs}};
  for (const auto& [text, value] : presses) {
    EXPECT_EQ(load(withExtra({{"press", text}})).applications.at(0).extras.at(0).press, value)
        << text;
  }
  const std::pair<const char*, platform::LoginItemStatus> statuses[] = {
      {"notRegistered", platform::LoginItemStatus::NotRegistered},
      {"enabled", platform::LoginItemStatus::Enabled},
      {"requiresApproval", platform::LoginItemStatus::RequiresApproval},
      {"notFound", platform::LoginItemStatus::NotFound}};
  for (const auto& [text, value] : statuses) {
    json world = minimalWorld();
    world["loginItemStatus"] = text;
    EXPECT_EQ(load(world).loginItemStatus, value) << text;
  }
  for (const char* step : {"configuration", "creation", "activation", "invalidation"}) {
    json world = minimalWorld();
    world["visibilityFramework"] = {{"path", "builtin"}, {"faults", {{"throwAt", step}}}};
    EXPECT_EQ(load(world).visibilityFramework.faults.throwAt, step);
  }
}

TEST(WorldLoaderValues, VisibilityFrameworkPathKeptAsWrittenWithFaults) {
  json world = minimalWorld();
  world["visibilityFramework"] = {{"path", "builtin"},
                                  {"faults",
                                   {{"configurationReturnsNothing", true},
                                    {"throwReason", "boom"},
                                    {"throwWithoutReason", true},
                                    {"activationError", "denied"},
                                    {"activationDelay", 0.4},
                                    {"handlerOnOtherThread", true},
                                    {"hidesCaller", true}}}};
  const VisibilityFramework framework = load(world).visibilityFramework;
  EXPECT_EQ(framework.path, "builtin");
  EXPECT_TRUE(framework.faults.configurationReturnsNothing);
  EXPECT_FALSE(framework.faults.throwAt.has_value());
  EXPECT_EQ(framework.faults.throwReason, "boom");
  EXPECT_TRUE(framework.faults.throwWithoutReason);
  EXPECT_EQ(framework.faults.activationError, "denied");
  EXPECT_EQ(framework.faults.activationDelay, 0.4);
  EXPECT_TRUE(framework.faults.handlerOnOtherThread);
  EXPECT_TRUE(framework.faults.hidesCaller);

  world["visibilityFramework"] = nullptr;
  EXPECT_FALSE(load(world).visibilityFramework.path.has_value());
}

TEST(WorldLoaderValues, WholeNumbersMayBeWrittenWithAZeroFraction) {
  EXPECT_EQ(load(withApp({{"pid", 412.0}})).applications.at(0).pid, 412);
}

// --- Errors ---

class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tucklet-world-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(WorldLoaderErrors, FilesThatCannotBeRead) {
  TemporaryDirectory directory;
  ASSERT_FALSE(directory.path().empty());
  const std::string missing = directory.path() + "/my.json";
  WorldResult result = loadWorldFile(missing);
  ASSERT_TRUE(std::holds_alternative<WorldError>(result));
  EXPECT_EQ(std::get<WorldError>(result).describe(),
            missing + ": cannot read file: No such file or directory");
  EXPECT_EQ(std::get<WorldError>(result).jsonPath, "");

  result = loadWorldFile(directory.path());
  ASSERT_TRUE(std::holds_alternative<WorldError>(result));
  EXPECT_EQ(std::get<WorldError>(result).describe(),
            directory.path() + ": cannot read file: Is a directory");
}

TEST(WorldLoaderErrors, FileOnDiskLoadsAndReportsUnderItsName) {
  TemporaryDirectory directory;
  const std::string file = directory.path() + "/my.json";
  std::ofstream(file) << minimalWorld().dump();
  EXPECT_TRUE(std::holds_alternative<World>(loadWorldFile(file)));

  std::ofstream(file) << R"({"screens": []})";
  WorldResult result = loadWorldFile(file);
  ASSERT_TRUE(std::holds_alternative<WorldError>(result));
  EXPECT_EQ(std::get<WorldError>(result).describe(),
            file + ": screens: at least one screen is required");
}

TEST(WorldLoaderErrors, TextThatIsNotJsonNamesLineAndColumn) {
  WorldResult result = parseWorld("{\n  \"name\": \"a\",\n  \"os\" 27\n}", "my.json");
  ASSERT_TRUE(std::holds_alternative<WorldError>(result));
  const WorldError& error = std::get<WorldError>(result);
  EXPECT_EQ(error.jsonPath, "");
  EXPECT_EQ(error.describe().rfind("my.json: not valid JSON: line 3, column 9: ", 0), 0u)
      << error.describe();
  EXPECT_EQ(error.describe().find('\n'), std::string::npos);

  EXPECT_EQ(errorOfText("{\n  \"os\": 27,\n  \"name\" \"a\"\n}")
                .rfind("my.json: not valid JSON: line 3, column 12: ", 0),
            0u);
  EXPECT_EQ(errorOfText("").rfind("my.json: not valid JSON: line 1, column 1: ", 0), 0u);
  EXPECT_EQ(errorOfText("[1, 2]"), "my.json: expected an object, got a list");
}

TEST(WorldLoaderErrors, WrongTypeDeepInAListNamesTheFullPath) {
  json world = minimalWorld();
  world["apps"] = json::array();
  for (int i = 0; i < 4; ++i)
    world["apps"].push_back({{"pid", 400 + i}});
  world["apps"][3]["extras"] = json::array({{{"width", "wide"}}});
  EXPECT_EQ(errorOf(world), "my.json: apps[3].extras[0].width: expected a number, got text");

  EXPECT_EQ(errorOf(withExtra({{"menu", {"Open", 7}}})),
            "my.json: apps[0].extras[0].menu[1]: expected text or an object, got a number");
  EXPECT_EQ(errorOf(withExtra({{"fixed", "yes"}})),
            "my.json: apps[0].extras[0].fixed: expected true or false, got text");
  EXPECT_EQ(errorOf(withApp({{"pid", "412"}})),
            "my.json: apps[0].pid: expected a whole number, got text");
  EXPECT_EQ(errorOf(withApp({{"pid", 4.5}})),
            "my.json: apps[0].pid: expected a whole number, got 4.5");
  EXPECT_EQ(errorOf(withExtra({{"title", 3}})),
            "my.json: apps[0].extras[0].title: expected text, got a number");
  EXPECT_EQ(errorOf(withApp({{"pid", 1}, {"extras", {{"a", 1}}}})),
            "my.json: apps[0].extras: expected a list, got an object");
  json world2 = minimalWorld();
  world2["statusItemPlacements"] = {{"QuiverlyToggle", true}};
  EXPECT_EQ(errorOf(world2),
            "my.json: statusItemPlacements.QuiverlyToggle: expected a number, got true");
}

TEST(WorldLoaderErrors, UnknownKeysAreRefusedWithASuggestionWhenClose) {
  EXPECT_EQ(errorOf(withExtra({{"titel", "Raycast"}})),
            "my.json: apps[0].extras[0].titel: unknown key (did you mean \"title\"?)");
  json world = minimalWorld();
  world["applications"] = json::array();
  EXPECT_EQ(errorOf(world), "my.json: applications: unknown key");
  world = minimalWorld();
  world["Screens"] = world["screens"];
  EXPECT_EQ(errorOf(world), "my.json: Screens: unknown key (did you mean \"screens\"?)");
  world = minimalWorld();
  world["screens"][0]["frame"]["w"] = 3;
  EXPECT_EQ(errorOf(world), "my.json: screens[0].frame.w: unknown key");
}

TEST(WorldLoaderErrors, UnknownEnumerationTextListsTheChoices) {
  EXPECT_EQ(errorOf(withExtra({{"press", "open"}})),
            "my.json: apps[0].extras[0].press: unknown value \"open\"; expected one of \"menu\", "
            "\"window\", \"showMenuOnly\", \"unsupported-25206\", \"unsupported-25208\", "
            "\"hangs\"");
  EXPECT_EQ(errorOf(withExtra({{"structure", "Direct"}})),
            "my.json: apps[0].extras[0].structure: unknown value \"Direct\"; expected one of "
            "\"direct\", \"grandchild\"");
  json world = minimalWorld();
  world["loginItemStatus"] = "on";
  EXPECT_EQ(errorOf(world),
            "my.json: loginItemStatus: unknown value \"on\"; expected one of \"notRegistered\", "
            "\"enabled\", \"requiresApproval\", \"notFound\"");
  world = minimalWorld();
  world["visibilityFramework"] = {{"path", "builtin"}, {"faults", {{"throwAt", "start"}}}};
  EXPECT_EQ(errorOf(world),
            "my.json: visibilityFramework.faults.throwAt: unknown value \"start\"; expected one of "
            "\"configuration\", \"creation\", \"activation\", \"invalidation\"");
}

TEST(WorldLoaderErrors, ProcessIdentifiersAndFrontmost) {
  json world = minimalWorld();
  world["apps"] = json::array({{{"pid", 412}}, {{"pid", 413}}, {{"pid", 412}}});
  EXPECT_EQ(errorOf(world), "my.json: apps[2].pid: pid 412 is already used by apps[0]");

  EXPECT_EQ(errorOf(withApp({{"pid", 900}})),
            "my.json: apps[0].pid: pid 900 is Tucklet's own (self.pid)");
  EXPECT_EQ(errorOf(withApp({{"pid", 0}})),
            "my.json: apps[0].pid: must be between 1 and 2147483647, got 0");
  EXPECT_EQ(errorOf(withApp({{"pid", -3}})),
            "my.json: apps[0].pid: must be between 1 and 2147483647, got -3");
  EXPECT_EQ(errorOf(withApp({{"bundleIdentifier", "com.example"}})),
            "my.json: apps[0].pid: required but missing");

  world["apps"] = json::array(
      {{{"pid", 1}, {"frontmost", true}}, {{"pid", 2}}, {{"pid", 3}, {"frontmost", true}}});
  EXPECT_EQ(errorOf(world),
            "my.json: apps[2].frontmost: only one application can be frontmost; apps[0] already "
            "is");
}

TEST(WorldLoaderErrors, ValuesOutOfRange) {
  EXPECT_EQ(errorOf(withExtra({{"width", -4}})),
            "my.json: apps[0].extras[0].width: must not be negative, got -4");
  EXPECT_EQ(errorOf(withExtra({{"control", 9}})),
            "my.json: apps[0].extras[0].control: must be between 0 and 8, got 9");
  EXPECT_EQ(errorOf(withApp({{"pid", 4}, {"accessibilityLatency", -0.5}})),
            "my.json: apps[0].accessibilityLatency: must not be negative, got -0.5");
  json world = minimalWorld();
  world["accessibilityLatency"] = -1;
  EXPECT_EQ(errorOf(world), "my.json: accessibilityLatency: must not be negative, got -1");
  world = minimalWorld();
  world["menuBarHeight"] = 0;
  EXPECT_EQ(errorOf(world), "my.json: menuBarHeight: must be greater than 0, got 0");
  world = minimalWorld();
  world["screens"][0]["frame"]["width"] = -1440;
  EXPECT_EQ(errorOf(world), "my.json: screens[0].frame.width: must not be negative, got -1440");
  world = minimalWorld();
  world["screens"][0]["frame"]["height"] = 0;
  EXPECT_EQ(errorOf(world),
            "my.json: screens[0].frame: a screen needs a width and a height greater than 0");
  world = minimalWorld();
  world["notch"] = {{"width", 1440}};
  EXPECT_EQ(errorOf(world), "my.json: notch.width: must be narrower than the first screen");
  world = minimalWorld();
  world["powerSources"] = json::array({{{"currentCapacity", 120}, {"maxCapacity", 100}}});
  EXPECT_EQ(errorOf(world),
            "my.json: powerSources[0].currentCapacity: must be between 0 and 100, got 120");
  world = minimalWorld();
  world["os"] = "twenty-seven";
  EXPECT_EQ(errorOf(world),
            "my.json: os: expected a version such as \"27.0\" or \"26.1.2\", got "
            "\"twenty-seven\"");
  world["os"] = "27";
  EXPECT_NE(errorOf(world), "loaded");
  world["os"] = "27.0.";
  EXPECT_NE(errorOf(world), "loaded");
}

TEST(WorldLoaderErrors, ScreensAreRequired) {
  EXPECT_EQ(errorOfText("{}"), "my.json: screens: at least one screen is required");
  EXPECT_EQ(errorOfText(R"({"screens": []})"), "my.json: screens: at least one screen is required");
  EXPECT_EQ(errorOfText(R"({"screens": [{"number": 1}]})"),
            "my.json: screens[0].frame: required but missing");
  json world = minimalWorld();
  world["screens"].push_back(world["screens"][0]);
  world["screens"][0]["number"] = 2;
  world["screens"][1]["number"] = 2;
  EXPECT_EQ(errorOf(world),
            "my.json: screens[1].number: screen number 2 is already used by screens[0]");
}

TEST(WorldLoaderErrors, ARepeatedKeyWouldLoseAValueAndIsRefused) {
  const std::string screens =
      R"("screens": [{"frame": {"x": 0, "y": 0, "width": 9, "height": 9}}])";
  EXPECT_EQ(errorOfText("{" + screens + R"(, "name": "a", "name": "b"})"),
            "my.json: name: key appears more than once in the same object");
  EXPECT_EQ(
      errorOfText(
          "{" + screens +
          R"(, "apps": [{"pid": 1}, {"pid": 2, "extras": [{}, {"title": "a", "title": "b"}]}]})"),
      "my.json: apps[1].extras[1].title: key appears more than once in the same object");
  EXPECT_EQ(errorOfText("{" + screens + R"(, "apps": [{"pid": 1, "menus": ["a", "a"]}]})"),
            "loaded")
      << "repeated list values are not repeated keys";
}

}  // namespace
}  // namespace tucklet::sim
