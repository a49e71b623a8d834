// The embedded default world and the example worlds: they load, and they hold what the product
// and its tests rely on finding there.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/sim/world_loader.h"

namespace tucklet::sim {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(TUCKLET_SOURCE_DIR) / "examples";

const WorldApplication* appWithBundle(const World& world, const std::string& bundle) {
  for (const auto& app : world.applications) {
    if (app.bundleIdentifier == bundle) return &app;
  }
  return nullptr;
}

struct Found {
  const WorldApplication* app = nullptr;
  const WorldExtra* extra = nullptr;
};

Found extraWithIdentifier(const World& world, const std::string& identifier) {
  for (const auto& app : world.applications) {
    for (const auto& extra : app.extras) {
      if (extra.identifier == identifier) return {&app, &extra};
    }
  }
  return {};
}

bool hasText(const std::optional<std::string>& text) {
  return text && !text->empty();
}

const std::set<std::string> kSystemBundles = {"com.apple.controlcenter",
                                              "com.apple.TextInputMenuAgent",
                                              "com.apple.MenuBarAgent", "com.apple.finder"};

bool isThirdParty(const WorldApplication& app) {
  return !app.bundleIdentifier || kSystemBundles.count(*app.bundleIdentifier) == 0;
}

TEST(DefaultWorld, IsTheExampleFileCompiledIn) {
  std::ifstream file(kExamples / "default-world.json", std::ios::binary);
  ASSERT_TRUE(file) << "examples/default-world.json is missing";
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(defaultWorldJson(), text.str()) << "rebuild: the embedded copy is stale";
  EXPECT_TRUE(std::holds_alternative<World>(parseWorld(defaultWorldJson(), "<default>")));
}

TEST(DefaultWorld, LaptopWithTheFrameworkAndABattery) {
  const World world = defaultWorld();
  EXPECT_EQ(world.os.major, 27);
  EXPECT_EQ(world.os.minor, 0);
  ASSERT_EQ(world.screens.size(), 1u);
  EXPECT_EQ(world.screens[0].frame.width, 1512);
  EXPECT_EQ(world.screens[0].frame.height, 982);
  EXPECT_EQ(world.menuBarHeight, 24);
  ASSERT_TRUE(world.notch.has_value());
  EXPECT_EQ(world.notch->width, 200);
  EXPECT_EQ(world.pointer, (Point{world.screens[0].frame.midX(), world.screens[0].frame.midY()}));
  EXPECT_TRUE(world.accessibilityTrusted);
  EXPECT_EQ(world.visibilityFramework.path, "builtin");

  ASSERT_EQ(world.powerSources.size(), 1u);
  EXPECT_EQ(world.powerSources[0].type, "InternalBattery");
  EXPECT_GT(world.powerSources[0].currentCapacity, 0);
  EXPECT_EQ(world.powerSources[0].powerSourceState, "Battery Power");

  EXPECT_EQ(world.self.pid, 900);
  EXPECT_EQ(world.self.path, "/Applications/Tucklet.app");
  EXPECT_EQ(world.self.identifier, "local.quenby.Quiverly");
  EXPECT_EQ(world.self.infoKeys.at("CFBundleShortVersionString"), "1.0");
  EXPECT_EQ(world.self.infoKeys.at("SUFeedURL"), "https://updates.tucklet.example/appcast.xml");
  const std::string key = world.self.infoKeys.at("SUPublicEDKey");
  EXPECT_FALSE(key.empty());
  EXPECT_EQ(key.size() % 4, 0u);
  EXPECT_EQ(
      key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
      std::string::npos)
      << "not base64: " << key;
}

TEST(DefaultWorld, SystemControlsAreOwnedByTheSystemBundles) {
  const World world = defaultWorld();
  struct Expected {
    const char* identifier;
    std::optional<int> control;
    bool fixed;
  };
  const Expected controls[] = {{"com.apple.menuextra.clock", 2, true},
                               {"com.apple.menuextra.controlcenter", 8, true},
                               {"com.apple.menuextra.battery", 0, false},
                               {"com.apple.menuextra.wifi", 6, false},
                               {"com.apple.menuextra.bluetooth", 1, false},
                               {"com.apple.menuextra.volume", 5, false},
                               {"com.apple.menuextra.now-playing", std::nullopt, false}};
  double rightmostOther = 1e9;
  for (const auto& expected : controls) {
    Found found = extraWithIdentifier(world, expected.identifier);
    ASSERT_NE(found.extra, nullptr) << expected.identifier;
    EXPECT_EQ(found.app->bundleIdentifier, "com.apple.controlcenter") << expected.identifier;
    EXPECT_EQ(found.extra->control, expected.control) << expected.identifier;
    EXPECT_EQ(found.extra->fixed, expected.fixed) << expected.identifier;
    EXPECT_TRUE(hasText(found.extra->title) || hasText(found.extra->description))
        << expected.identifier << " reports no title at all";
    if (std::string(expected.identifier) != "com.apple.menuextra.clock") {
      rightmostOther = std::min(rightmostOther, found.extra->position.value_or(1e9));
    }
  }
  const Found clock = extraWithIdentifier(world, "com.apple.menuextra.clock");
  EXPECT_LT(clock.extra->position.value_or(1e9), rightmostOther) << "the clock sits rightmost";
  EXPECT_FALSE(clock.extra->look.text.empty()) << "the clock is drawn as text";
  EXPECT_EQ(extraWithIdentifier(world, "com.apple.menuextra.battery").extra->description,
            "Battery");
  EXPECT_EQ(extraWithIdentifier(world, "com.apple.menuextra.wifi").extra->description, "Wi-Fi");

  const WorldApplication* controlCenter = appWithBundle(world, "com.apple.controlcenter");
  EXPECT_EQ(controlCenter->bundlePath, "/System/Library/CoreServices/ControlCenter.app");
  EXPECT_EQ(controlCenter->menuWindowOwner, "com.apple.MenuBarAgent");

  const Found input = extraWithIdentifier(world, "com.apple.menuextra.textinput");
  ASSERT_NE(input.extra, nullptr);
  EXPECT_EQ(input.app->bundleIdentifier, "com.apple.TextInputMenuAgent");
  EXPECT_EQ(input.app->bundlePath, "/System/Library/CoreServices/TextInputMenuAgent.app");
  EXPECT_EQ(input.extra->control, 4);
  EXPECT_FALSE(input.extra->title || input.extra->description || input.extra->help)
      << "the input menu reports no titles";

  const WorldApplication* agent = appWithBundle(world, "com.apple.MenuBarAgent");
  ASSERT_NE(agent, nullptr);
  EXPECT_TRUE(agent->extras.empty());

  const WorldApplication* finder = appWithBundle(world, "com.apple.finder");
  ASSERT_NE(finder, nullptr);
  EXPECT_TRUE(finder->frontmost);
  EXPECT_EQ(finder->menus,
            (std::vector<std::string>{"File", "Edit", "View", "Go", "Window", "Help"}));
}

TEST(DefaultWorld, ThirdPartyItemsExerciseTheScannerAndTheItemModel) {
  const World world = defaultWorld();
  int thirdPartyApps = 0;
  for (const auto& app : world.applications) {
    if (isThirdParty(app) && app.bundlePath && app.bundlePath->rfind("/Applications/", 0) == 0) {
      ++thirdPartyApps;
    }
  }
  EXPECT_GE(thirdPartyApps, 8);

  const WorldApplication* raycast = appWithBundle(world, "com.raycast.macos");
  ASSERT_NE(raycast, nullptr);
  ASSERT_EQ(raycast->extras.size(), 2u);
  EXPECT_EQ(raycast->extras[0].title, "Raycast");
  EXPECT_EQ(raycast->extras[1].title, "Obsidian");
  const WorldApplication* obsidian = appWithBundle(world, "md.obsidian");
  ASSERT_NE(obsidian, nullptr);
  EXPECT_EQ(obsidian->localizedName, "Obsidian");
  EXPECT_TRUE(obsidian->extras.empty());
  EXPECT_NE(appWithBundle(world, "com.google.drivefs"), nullptr);

  bool grandchildWithStrayWhitespace = false, titleEndsInIcon = false, serverRunning = false;
  bool showMenuOnly = false, unsupported = false, opensWindow = false;
  bool helperWithoutAppBundle = false, repeatedIdentifier = false, severalUnidentified = false;
  for (const auto& app : world.applications) {
    int unidentified = 0;
    std::set<std::string> identifiers;
    for (const auto& extra : app.extras) {
      const std::string title = extra.title.value_or("");
      const std::string description = extra.description.value_or("");
      grandchildWithStrayWhitespace |= extra.structure == WorldExtra::Structure::Grandchild &&
                                       extra.itemRole != "AXMenuBarItem" &&
                                       extra.itemRole.find("AXMenuBarItem") != std::string::npos;
      titleEndsInIcon |= title.size() > 4 && title.compare(title.size() - 4, 4, "Icon") == 0;
      serverRunning |= description.find("server running") != std::string::npos;
      showMenuOnly |= extra.press == PressBehaviour::ShowMenuOnly;
      unsupported |= extra.press == PressBehaviour::Unsupported25206;
      opensWindow |= extra.press == PressBehaviour::OpensWindow;
      if (!extra.identifier) ++unidentified;
      if (extra.identifier && !identifiers.insert(*extra.identifier).second) {
        repeatedIdentifier = true;
      }
    }
    severalUnidentified |= isThirdParty(app) && unidentified >= 3;
    helperWithoutAppBundle |=
        !app.extras.empty() && app.bundlePath && fs::path(*app.bundlePath).extension() != ".app";
  }
  EXPECT_TRUE(grandchildWithStrayWhitespace);
  EXPECT_TRUE(titleEndsInIcon);
  EXPECT_TRUE(serverRunning);
  EXPECT_TRUE(showMenuOnly);
  EXPECT_TRUE(unsupported);
  EXPECT_TRUE(opensWindow);
  EXPECT_TRUE(helperWithoutAppBundle);
  EXPECT_TRUE(repeatedIdentifier);
  EXPECT_TRUE(severalUnidentified);
}

TEST(DefaultWorld, EveryAppHasAnIconAndEveryItemALookAndAMenu) {
  const fs::path theme = "/usr/share/icons/Adwaita";
  if (!fs::exists(theme)) GTEST_SKIP() << "the Adwaita icon theme is not installed";
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(theme)) {
    const fs::path& path = entry.path();
    if (path.extension() != ".png" && path.extension() != ".svg") continue;
    std::string stem = path.stem().string();
    if (stem.size() > 9 && stem.compare(stem.size() - 9, 9, ".symbolic") == 0) {
      stem.resize(stem.size() - 9);
    }
    names.insert(stem);
  }
  const World world = defaultWorld();
  for (const auto& app : world.applications) {
    const std::string who = app.localizedName.value_or(std::to_string(app.pid));
    EXPECT_TRUE(names.count(app.iconTheme)) << who << ": no icon \"" << app.iconTheme << "\"";
    for (const auto& extra : app.extras) {
      const ExtraLook& look = extra.look;
      EXPECT_FALSE(look.symbol.empty() && look.themeIcon.empty() && look.text.empty())
          << who << " has an item without a look";
      if (!look.themeIcon.empty()) {
        EXPECT_TRUE(names.count(look.themeIcon)) << who << ": no icon \"" << look.themeIcon << "\"";
      }
      EXPECT_FALSE(extra.menu.empty()) << who << " has an item without menu rows";
    }
  }
  for (const auto& bundle : world.installed) {
    EXPECT_TRUE(names.count(bundle.iconTheme)) << bundle.path;
  }
}

TEST(DefaultWorld, TuckletItemsSitBetweenSystemControlsAndOtherItemsAndTheBarOverflows) {
  const World world = defaultWorld();
  double leftmostSystem = -1e9, rightmostOther = 1e9, totalWidth = 0;
  for (const auto& app : world.applications) {
    for (const auto& extra : app.extras) {
      ASSERT_TRUE(extra.position.has_value());
      totalWidth += extra.width;
      if (isThirdParty(app)) {
        rightmostOther = std::min(rightmostOther, *extra.position);
      } else {
        leftmostSystem = std::max(leftmostSystem, *extra.position);
      }
    }
    EXPECT_GE(app.pid, 300);
    EXPECT_LE(app.pid, 700);
  }
  const double toggle = world.statusItemPlacements.at("QuiverlyToggle");
  const double boundary = world.statusItemPlacements.at("QuiverlyBoundary");
  EXPECT_GT(toggle, leftmostSystem);
  EXPECT_GT(boundary, toggle);
  EXPECT_LT(boundary, rightmostOther);

  const Rect screen = world.screens[0].frame;
  const double rightOfNotch = screen.maxX() - (screen.midX() + world.notch->width / 2);
  EXPECT_GT(totalWidth, rightOfNotch) << "every item fits right of the notch";
}

TEST(ExampleWorlds, EveryExampleLoads) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".json") continue;
    ++count;
    WorldResult result = loadWorldFile(entry.path().string());
    if (auto* error = std::get_if<WorldError>(&result)) ADD_FAILURE() << error->describe();
  }
  EXPECT_GE(count, 5);
}

World example(const std::string& name) {
  WorldResult result = loadWorldFile((kExamples / name).string());
  if (auto* error = std::get_if<WorldError>(&result)) {
    ADD_FAILURE() << error->describe();
    return {};
  }
  return std::get<World>(result);
}

TEST(ExampleWorlds, EachHoldsWhatItsNameSays) {
  const World divider = example("divider-os26.json");
  EXPECT_EQ(divider.os.major, 26);
  EXPECT_FALSE(divider.visibilityFramework.path.has_value());
  EXPECT_GT(divider.statusItemPlacements.at("QuiverlyBoundary"),
            divider.statusItemPlacements.at("QuiverlyToggle"))
      << "the divider sits left of the Tucklet icon";

  const World firstRun = example("first-run.json");
  EXPECT_FALSE(firstRun.accessibilityTrusted);

  const World twoScreens = example("two-screens.json");
  ASSERT_EQ(twoScreens.screens.size(), 2u);
  EXPECT_FALSE(twoScreens.screens[0].frame.intersects(twoScreens.screens[1].frame));

  const World faults = example("faults.json");
  EXPECT_TRUE(std::any_of(faults.applications.begin(), faults.applications.end(),
                          [](const WorldApplication& app) { return app.hung; }));
  EXPECT_GT(faults.accessibilityLatency, 0);
  const VisibilityFrameworkFaults& framework = faults.visibilityFramework.faults;
  EXPECT_TRUE(framework.activationError || framework.throwAt ||
              framework.configurationReturnsNothing);
}

}  // namespace
}  // namespace tucklet::sim
