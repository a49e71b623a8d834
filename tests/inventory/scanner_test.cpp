// The Accessibility scan against the simulated desktop: which applications are asked, how an
// item's element, frame, name, identity and icon are found, the left-to-right order, what a hung
// application costs and how many messages one walk sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "inventory/scanner.h"
#include "platform/sim/desktop.h"
#include "platform/virtual_run_loop.h"
#include "tests/support/world_builder.h"

namespace tucklet {
namespace {

using platform::AXElementRef;
using platform::AXError;
using platform::AXValue;
using sim::WorldExtra;
using testing::WorldBuilder;

constexpr double kTop = 982;  // the builder's screen height: Accessibility y runs down from here

auto noIdentifier() {
  return [](WorldExtra& e) { e.identifier.reset(); };
}
auto titled(std::string title) {
  return [title](WorldExtra& e) { e.title = title; };
}
auto nested(std::string itemRole, std::string childRole = "AXGroup") {
  return [itemRole, childRole](WorldExtra& e) {
    e.structure = WorldExtra::Structure::Grandchild;
    e.itemRole = itemRole;
    e.childRole = childRole;
  };
}

class ScannerTest : public ::testing::Test {
 protected:
  void start(sim::World world) {
    desktop.reset();
    desktop = std::make_unique<sim::SimDesktop>(std::move(world), loop);
    desktop->setLatencyMode(sim::SimDesktop::LatencyMode::Account);
  }

  // One scan, counted from zero.
  std::vector<BarItem> scan() {
    desktop->resetAccessibilityCounters();
    return scanMenuBarItems(desktop->accessibility(), desktop->workspace());
  }

  std::uint64_t messages() const { return desktop->accessibilityMessageCount(); }

  static std::vector<std::string> ids(const std::vector<BarItem>& items) {
    std::vector<std::string> result;
    for (const auto& item : items)
      result.push_back(item.id);
    return result;
  }
  static std::vector<std::string> names(const std::vector<BarItem>& items) {
    std::vector<std::string> result;
    for (const auto& item : items)
      result.push_back(item.name);
    return result;
  }
  static const BarItem* byId(const std::vector<BarItem>& items, const std::string& id) {
    for (const auto& item : items)
      if (item.id == id) return &item;
    return nullptr;
  }

  // Where the bar lays an extra out, in Accessibility coordinates.
  platform::Rect axFrameOf(pid_t pid, const std::string& identifier) {
    const auto extra = desktop->findExtra(pid, identifier);
    EXPECT_TRUE(extra) << identifier;
    for (const auto& slot : desktop->menuBarLayout())
      if (extra && slot.kind == sim::BarSlot::Kind::Extra && slot.extra == *extra)
        return {slot.frame.x, kTop - slot.frame.maxY(), slot.frame.width, slot.frame.height};
    return {};
  }

  std::string role(const AXElementRef& element) {
    AXValue value;
    if (desktop->accessibility().copyAttributeValue(element, "AXRole", value) != AXError::Success ||
        !value.text())
      return "<none>";
    return *value.text();
  }

  platform::VirtualRunLoop loop;
  std::unique_ptr<sim::SimDesktop> desktop;
};

TEST_F(ScannerTest, UntrustedScanFindsNothingAndAsksNoApplication) {
  start(WorldBuilder()
            .app(100, "com.example.a", "Alpha")
            .extra("a.item")
            .at(10)
            .withWorld([](sim::World& w) { w.accessibilityTrusted = false; })
            .build());
  EXPECT_TRUE(scan().empty());
  EXPECT_EQ(messages(), 0u);
}

TEST_F(ScannerTest, OwnProcessAndApplicationsOutsideAppBundlesAreNotAsked) {
  const auto real = [](WorldBuilder b) {
    return b.app(100, "com.example.real", "Real")
        .extra("real.item")
        .at(10)
        .withApp([](sim::WorldApplication& a) { a.bundlePath = "/Applications/Real.app/"; });
  };
  start(real(WorldBuilder()).build());
  const auto alone = scan();
  const auto aloneMessages = messages();
  ASSERT_EQ(ids(alone), std::vector<std::string>{"com.example.real:real.item"});

  auto helper = [](pid_t pid, std::optional<std::string> path) {
    return [pid, path](sim::World& w) {
      auto app = testing::makeApplication(pid, "com.example.helper" + std::to_string(pid),
                                          "Helper" + std::to_string(pid));
      app.bundlePath = path;
      WorldExtra extra;
      extra.identifier = "helper.item";
      extra.position = 20 + pid;
      app.extras.push_back(extra);
      w.applications.push_back(app);
    };
  };
  start(real(WorldBuilder())
            .withWorld(helper(1, "/usr/local/bin/syncthing"))
            .withWorld(helper(2, std::nullopt))
            .withWorld(helper(3, "/Applications/Helper.app/Contents/MacOS/helper"))
            .withWorld(helper(4, "/Applications/Helper.application"))
            .build());
  // This process shows an item of its own; it must not count itself.
  auto own = desktop->statusBar().createStatusItem(30);
  own->setTitle("Own");
  ASSERT_TRUE(own->buttonScreenFrame());

  EXPECT_EQ(ids(scan()), ids(alone));
  EXPECT_EQ(messages(), aloneMessages);
}

TEST_F(ScannerTest, ItemElementIsTheGrandchildWithTheMenuBarItemRole) {
  start(WorldBuilder()
            .app(100, "com.example.nest", "Nest")
            .extra("padded")
            .at(10)
            .withExtra(nested("  AXMenuBarItem \n"))
            .extra("other-role")
            .at(20)
            .withExtra(nested("AXButton"))
            .extra("direct")
            .at(30)
            .withExtra([](WorldExtra& e) { e.childRole = " AXMenuBarItem "; })
            .build());
  const auto items = scan();
  ASSERT_EQ(items.size(), 3u);

  // The grandchild answers for itself: its identifier and its role as given.
  const auto* padded = byId(items, "com.example.nest:padded");
  ASSERT_TRUE(padded);
  EXPECT_EQ(role(padded->element), "  AXMenuBarItem \n");
  EXPECT_EQ(padded->frame, axFrameOf(100, "padded"));

  // No grandchild qualifies: the container is the element, and it has no identifier of its own.
  const auto* container = byId(items, "com.example.nest:index-1");
  ASSERT_TRUE(container);
  EXPECT_EQ(role(container->element), "AXGroup");
  EXPECT_EQ(container->name, "Nest");

  const auto* direct = byId(items, "com.example.nest:direct");
  ASSERT_TRUE(direct);
  EXPECT_EQ(role(direct->element), " AXMenuBarItem ");
}

TEST_F(ScannerTest, ItemsWithoutAReadableNonEmptyFrameAreSkipped) {
  start(WorldBuilder()
            .app(100, "com.example.frames", "Frames")
            .extra("no-position")
            .at(10)
            .withExtra([](WorldExtra& e) { e.positionReadable = false; })
            .extra("no-size")
            .at(20)
            .withExtra([](WorldExtra& e) { e.sizeReadable = false; })
            .extra("zero-width", 0)
            .at(30)
            .extra("child-frame")
            .at(40)
            .withExtra(nested("AXMenuBarItem"))
            .withExtra([](WorldExtra& e) { e.positionReadable = false; })
            .extra("no-frame-at-all")
            .at(50)
            .withExtra(nested("AXMenuBarItem"))
            .withExtra([](WorldExtra& e) {
              e.sizeReadable = false;
              e.childFrameReadable = false;
            })
            .extra("", 26)
            .at(60)
            .withExtra(noIdentifier())
            .build());
  const auto items = scan();
  ASSERT_EQ(ids(items), (std::vector<std::string>{"com.example.frames:index-5",
                                                  "com.example.frames:child-frame"}));
  // The container's frame stands in for the item's unreadable one.
  EXPECT_EQ(items[1].frame, axFrameOf(100, "child-frame"));
}

TEST_F(ScannerTest, NamesComeFromTrimmedTextsThenFallBackInOrder) {
  start(WorldBuilder()
            .app(100, "com.example.names", "Names")
            .extra("titled")
            .at(10)
            .withExtra([](WorldExtra& e) {
              e.title = "Title";
              e.description = "Description";
            })
            .extra("described")
            .at(20)
            .withExtra([](WorldExtra& e) {
              e.title = " \t";
              e.description = "\n  Padded description  ";
            })
            .extra("helped")
            .at(30)
            .withExtra([](WorldExtra& e) { e.help = " Help "; })
            .extra("com.apple.menuextra.wifi")
            .at(40)
            .extra("unknown")
            .at(50)
            .app(200, "com.apple.TextInputMenuAgent", "TextInputMenuAgent")
            .extra("com.apple.menuextra.textinput")
            .at(60)
            .extra("com.apple.menuextra.battery")
            .at(70)
            .app(300, "com.example.anonymous", "Anonymous")
            .withApp([](sim::WorldApplication& a) { a.localizedName.reset(); })
            .extra("nameless")
            .at(80)
            .build());
  const auto items = scan();
  auto nameOf = [&](const std::string& id) {
    const auto* item = byId(items, id);
    return item ? item->name : "<missing " + id + ">";
  };
  EXPECT_EQ(nameOf("com.example.names:titled"), "Title");
  EXPECT_EQ(nameOf("com.example.names:described"), "Padded description");
  EXPECT_EQ(nameOf("com.example.names:helped"), "Help");
  EXPECT_EQ(nameOf("com.example.names:com.apple.menuextra.wifi"), "Wi-Fi");
  EXPECT_EQ(nameOf("com.example.names:unknown"), "Names");
  EXPECT_EQ(nameOf("com.apple.TextInputMenuAgent:com.apple.menuextra.textinput"), "Input Menu");
  // A known identifier is named before the input menu rule.
  EXPECT_EQ(nameOf("com.apple.TextInputMenuAgent:com.apple.menuextra.battery"), "Battery");
  EXPECT_EQ(nameOf("com.example.anonymous:nameless"), "Menu bar item");

  const auto* anonymous = byId(items, "com.example.anonymous:nameless");
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->appName, "Application");
  EXPECT_EQ(anonymous->pid, 300);
  EXPECT_EQ(byId(items, "com.example.names:titled")->appName, "Names");
}

TEST_F(ScannerTest, IdentitiesFollowDiscoveryOrder) {
  // World order is discovery order; placements put the later items further left, so the
  // returned (left-to-right) order is the reverse of discovery.
  start(WorldBuilder()
            .app(100, "com.example.dup", "Dup")
            .extra("same")
            .at(10)
            .withExtra(titled("first"))
            .extra("")
            .at(11)
            .withExtra(noIdentifier())
            .extra("  same\n")
            .at(12)
            .withExtra(titled("second"))
            .extra("same")
            .at(13)
            .withExtra(titled("third"))
            // A second instance of the same application.
            .app(101, "com.example.dup", "Dup")
            .extra("same")
            .at(14)
            .withExtra(titled("fourth"))
            .app(102, "", "NoBundle")
            .withApp([](sim::WorldApplication& a) { a.bundleIdentifier.reset(); })
            .extra("")
            .at(15)
            .withExtra(noIdentifier())
            .build());
  const auto items = scan();
  EXPECT_EQ(ids(items),
            (std::vector<std::string>{"102:index-0", "com.example.dup:same:3",
                                      "com.example.dup:same:2", "com.example.dup:same:1",
                                      "com.example.dup:index-1", "com.example.dup:same"}));
  EXPECT_EQ(names(items)[1], "fourth");
  EXPECT_EQ(names(items)[2], "third");
  EXPECT_EQ(names(items)[3], "second");
  EXPECT_EQ(items[3].identifier, "same");
}

// Answers every "AXPosition" with the same x, as a bar that has not laid its items out yet
// might; everything else comes from the desktop unchanged.
class SameXAccessibility final : public platform::Accessibility {
 public:
  explicit SameXAccessibility(const platform::Accessibility& inner) : inner_(inner) {}
  bool isProcessTrusted() const override { return inner_.isProcessTrusted(); }
  AXElementRef applicationElement(pid_t pid) const override {
    return inner_.applicationElement(pid);
  }
  AXElementRef systemWideElement() const override { return inner_.systemWideElement(); }
  AXError setMessagingTimeout(const AXElementRef& element, double seconds) const override {
    return inner_.setMessagingTimeout(element, seconds);
  }
  AXError copyAttributeValue(const AXElementRef& element, const std::string& attribute,
                             AXValue& value) const override {
    const auto error = inner_.copyAttributeValue(element, attribute, value);
    if (error == AXError::Success && attribute == "AXPosition" && value.point())
      value.value = platform::Point{700, value.point()->y};
    return error;
  }
  AXError isAttributeSettable(const AXElementRef& element, const std::string& attribute,
                              bool& settable) const override {
    return inner_.isAttributeSettable(element, attribute, settable);
  }
  AXError pid(const AXElementRef& element, pid_t& pid) const override {
    return inner_.pid(element, pid);
  }
  AXError elementAtPosition(const AXElementRef& root, double x, double y,
                            AXElementRef& element) const override {
    return inner_.elementAtPosition(root, x, y, element);
  }
  AXError performAction(const AXElementRef& element, const std::string& action) const override {
    return inner_.performAction(element, action);
  }
  std::unique_ptr<platform::AXObserver> createObserver(pid_t,
                                                       platform::AXObserverCallback) override {
    return nullptr;
  }

 private:
  const platform::Accessibility& inner_;
};

TEST_F(ScannerTest, ResultRunsLeftToRightAndEqualXKeepsDiscoveryOrder) {
  WorldBuilder builder;
  std::vector<std::string> discovery;
  // Enough items that an unstable sort would be caught shuffling them; placements scattered so
  // that bar order and discovery order differ.
  for (int a = 0; a < 6; ++a) {
    builder.app(100 + a, "com.example.app" + std::to_string(a), "App" + std::to_string(a));
    for (int i = 0; i < 5; ++i) {
      const auto identifier = "item" + std::to_string(i);
      builder.extra(identifier, 20).at((a * 7 + i * 11) % 30);
      discovery.push_back("com.example.app" + std::to_string(a) + ":" + identifier);
    }
  }
  start(builder.build());

  const auto items = scan();
  ASSERT_EQ(items.size(), discovery.size());
  for (std::size_t i = 1; i < items.size(); ++i)
    EXPECT_LT(items[i - 1].frame.maxX(), items[i].frame.minX()) << items[i].id;
  EXPECT_NE(ids(items), discovery);

  SameXAccessibility sameX(desktop->accessibility());
  const auto tied = scanMenuBarItems(sameX, desktop->workspace());
  EXPECT_EQ(ids(tied), discovery);
}

class IconTest : public ScannerTest {
 protected:
  void SetUp() override {
    start(WorldBuilder()
              .app(100, "com.example.owner", "Owner")
              .withApp([](sim::WorldApplication& a) { a.iconTheme = "owner-icon"; })
              .app(101, "com.example.notes", "notes")
              .withApp([](sim::WorldApplication& a) {
                a.iconTheme = "running-notes-icon";
                a.bundlePath = "/opt/Notes.app";
              })
              .app(102, "com.example.notes2", "NOTES")
              .withApp([](sim::WorldApplication& a) { a.iconTheme = "second-notes-icon"; })
              .withWorld([](sim::World& w) {
                const auto install = [&w](std::string path, std::string icon) {
                  w.installed.push_back({std::move(path), std::move(icon), ""});
                };
                install("/Applications/Notes.app", "installed-notes-icon");
                install("/Applications/Calendar.app", "applications-calendar-icon");
                install("/System/Applications/Calendar.app", "system-calendar-icon");
                install("/System/Applications/Music.app", "system-music-icon");
                install("/Applications/Slack/Beta.app", "beta-icon");
                install("/Applications/" + std::string(79, 'x') + ".app", "long-icon");
                install("/Applications/" + std::string(80, 'y') + ".app", "too-long-icon");
                // 79 characters, 158 bytes.
                std::string accented;
                for (int i = 0; i < 79; ++i)
                  accented += "\xC3\xA9";
                install("/Applications/" + accented + ".app", "accented-icon");
              })
              .build());
    running = desktop->workspace().runningApplications();
    owner = running.front();
  }

  std::string iconFor(const std::string& name) {
    const auto icon = iconForItem(owner, name, running, desktop->workspace());
    return icon ? icon->name : "<none>";
  }

  std::vector<platform::RunningApplication> running;
  platform::RunningApplication owner;
};

TEST_F(IconTest, NamedApplicationsLendTheirIconsInOrder) {
  EXPECT_EQ(iconFor("Owner"), "owner-icon");
  // A running application named alike (any letter case) wins over an installed bundle; the first
  // one the workspace lists wins over later ones.
  EXPECT_EQ(iconFor("Notes"), "running-notes-icon");
  EXPECT_EQ(iconFor("Calendar"), "applications-calendar-icon");
  EXPECT_EQ(iconFor("Music"), "system-music-icon");
  EXPECT_EQ(iconFor("Weather"), "owner-icon");
  EXPECT_EQ(iconFor(""), "owner-icon");
}

TEST_F(IconTest, NamesThatCannotBeBundleNamesUseTheOwnersIcon) {
  EXPECT_EQ(iconFor("Slack/Beta"), "owner-icon");
  EXPECT_EQ(iconFor(std::string(79, 'x')), "long-icon");
  EXPECT_EQ(iconFor(std::string(80, 'y')), "owner-icon");
  std::string accented;
  for (int i = 0; i < 79; ++i)
    accented += "\xC3\xA9";
  EXPECT_EQ(iconFor(accented), "accented-icon") << "the limit counts characters, not bytes";
}

TEST_F(ScannerTest, ScanGivesEachItemTheIconOfTheApplicationItNames) {
  start(WorldBuilder()
            .app(100, "com.example.helper", "Helper")
            .withApp([](sim::WorldApplication& a) { a.iconTheme = "helper-icon"; })
            .extra("main")
            .at(10)
            .withExtra(titled("Main"))
            .extra("own")
            .at(20)
            .withExtra(titled("Status"))
            .app(101, "com.example.main", "Main")
            .withApp([](sim::WorldApplication& a) { a.iconTheme = "main-icon"; })
            .build());
  const auto items = scan();
  ASSERT_EQ(items.size(), 2u);
  ASSERT_TRUE(items[0].icon && items[1].icon);
  EXPECT_EQ(items[0].icon->name, "helper-icon");
  EXPECT_EQ(items[1].icon->name, "main-icon");
}

TEST_F(ScannerTest, HungApplicationCostsOneTimeOut) {
  constexpr double latency = 0.0002;
  start(WorldBuilder()
            .app(100, "com.example.before", "Before")
            .extra("before")
            .at(10)
            .app(200, "com.example.hung", "Hung")
            .extra("hung-1")
            .at(20)
            .extra("hung-2")
            .at(30)
            .withApp([](sim::WorldApplication& a) { a.hung = true; })
            .app(300, "com.example.after", "After")
            .extra("after")
            .at(40)
            .withWorld([](sim::World& w) { w.accessibilityLatency = latency; })
            .build());
  const auto items = scan();
  EXPECT_EQ(ids(items),
            (std::vector<std::string>{"com.example.after:after", "com.example.before:before"}));
  const double spent = desktop->spentAccessibilitySeconds();
  EXPECT_GE(spent, scanMessagingTimeout);
  EXPECT_LE(spent, scanMessagingTimeout + static_cast<double>(messages()) * latency + 1e-9);
}

TEST_F(ScannerTest, SendsOnlyTheMessagesTheWalkNeeds) {
  start(WorldBuilder()
            .app(100, "com.example.direct", "Direct")
            .extra("titled")
            .at(10)
            .withExtra(titled("Titled"))
            .extra("described")
            .at(11)
            .withExtra([](WorldExtra& e) { e.description = "Described"; })
            .extra("helped")
            .at(12)
            .withExtra([](WorldExtra& e) { e.help = "Helped"; })
            .extra("untitled")
            .at(13)
            .extra("no-position")
            .at(14)
            .withExtra([](WorldExtra& e) { e.positionReadable = false; })
            .extra("no-size")
            .at(15)
            .withExtra([](WorldExtra& e) { e.sizeReadable = false; })
            .extra("empty", 0)
            .at(16)
            .app(200, "com.example.nested", "Nested")
            .extra("nested")
            .at(20)
            .withExtra(nested("AXMenuBarItem"))
            .withExtra(titled("Nested"))
            .extra("child-frame")
            .at(21)
            .withExtra(nested("AXMenuBarItem"))
            .withExtra(titled("Child frame"))
            .withExtra([](WorldExtra& e) { e.positionReadable = false; })
            .extra("no-frame")
            .at(22)
            .withExtra(nested("AXMenuBarItem"))
            .withExtra([](WorldExtra& e) {
              e.positionReadable = false;
              e.childFrameReadable = false;
            })
            .app(300, "com.example.none", "None")
            .build());
  const auto items = scan();
  EXPECT_EQ(items.size(), 6u);

  // Per application: its extras bar, then the bar's children. Per child: the child's children,
  // the roles of grandchildren up to the first match, position and size (size only when the
  // position was read), the child's frame when the item's failed and the item is a grandchild,
  // then for a recorded item its identifier and titles up to the first non-empty one.
  const std::uint64_t direct = 2 + (1 + 2 + 1 + 1)           // titled
                               + (1 + 2 + 1 + 2)             // described
                               + (1 + 2 + 1 + 3)             // helped
                               + (1 + 2 + 1 + 3)             // untitled: falls back
                               + (1 + 1)                     // no position
                               + (1 + 2)                     // no size
                               + (1 + 2);                    // zero width
  const std::uint64_t nestedApp = 2 + (1 + 1 + 2 + 1 + 1)    // nested
                                  + (1 + 1 + 1 + 2 + 1 + 1)  // frame from the child
                                  + (1 + 1 + 1 + 1);         // no frame anywhere
  const std::uint64_t noExtras = 1;
  EXPECT_EQ(messages(), direct + nestedApp + noExtras);
}

}  // namespace
}  // namespace tucklet
