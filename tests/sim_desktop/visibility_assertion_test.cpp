// The visibility assertion: items neither allowed by control nor by bundle vanish from the bar,
// the Accessibility tree and the window list, and come back when it is released.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

class VisibilityAssertionTest : public DesktopTest {
 protected:
  void SetUp() override { start(world("/Applications/Tucklet.app")); }

  static sim::World world(const std::string& selfPath) {
    return WorldBuilder()
        .app(100, "com.apple.controlcenter", "Control Centre")
        .extra("battery", 30)
        .at(0)
        .withExtra([](sim::WorldExtra& e) { e.control = 0; })
        .extra("wifi", 22)
        .at(1)
        .withExtra([](sim::WorldExtra& e) { e.control = 6; })
        .app(101, "com.example.notes", "Notes")
        .extra("notes", 22)
        .at(3)
        .app(102, "com.example.music", "Music")
        .extra("music", 22)
        .at(4)
        .withWorld([&selfPath](sim::World& w) { w.self.path = selfPath; })
        .build();
  }

  std::vector<std::string> barIdentifiers() {
    std::vector<std::string> ids;
    for (const auto& s : desktop->menuBarLayout()) {
      if (s.hiddenByAssertion) continue;
      ids.push_back(s.kind == BarSlot::Kind::Extra
                        ? desktop->extra(s.extra)->identifier.value_or("?")
                        : "own");
    }
    return ids;
  }
};

TEST_F(VisibilityAssertionTest, HidesWhatIsNotAllowedAndRestoresOnRelease) {
  auto own = desktop->statusBar().createStatusItem(20);
  const auto notesElement = extraChildren(101).at(0);
  const double musicX = slot(102, "music").frame.x;
  ASSERT_EQ(barIdentifiers(),
            (std::vector<std::string>{"battery", "wifi", "notes", "music", "own"}));

  const auto assertion = desktop->addVisibilityAssertion({0}, {"com.example.music"}, false);
  EXPECT_EQ(desktop->visibilityAssertionCount(), 1u);
  EXPECT_EQ(barIdentifiers(), (std::vector<std::string>{"battery", "music", "own"}));
  EXPECT_TRUE(slot(100, "wifi").hiddenByAssertion);
  EXPECT_FALSE(slot(100, "wifi").shown);
  // The rest close up to the right.
  EXPECT_EQ(slot(102, "music").frame.x, 1504 - 30 - 4 - 22);
  EXPECT_GT(slot(102, "music").frame.x, musicX);

  // Gone from the tree, but the extras bar itself stays an element.
  EXPECT_EQ(extraChildren(100).size(), 1u);
  ASSERT_TRUE(extrasBar(101));
  EXPECT_TRUE(extraChildren(101).empty());
  EXPECT_EQ(read(notesElement, "AXTitle").error, AXError::InvalidUIElement);
  for (const auto& w : desktop->windowServer().onScreenWindows(true))
    EXPECT_NE(w.ownerPid, 101);
  EXPECT_EQ(ax().performAction(notesElement, "AXPress"), AXError::InvalidUIElement);

  desktop->removeVisibilityAssertion(assertion);
  EXPECT_EQ(desktop->visibilityAssertionCount(), 0u);
  EXPECT_EQ(barIdentifiers(),
            (std::vector<std::string>{"battery", "wifi", "notes", "music", "own"}));
  EXPECT_EQ(read(notesElement, "AXIdentifier").error, AXError::Success);
  EXPECT_EQ(slot(102, "music").frame.x, musicX);
}

TEST_F(VisibilityAssertionTest, EveryAssertionMustAllowAnItem) {
  const auto first = desktop->addVisibilityAssertion({0, 6}, {"com.example.notes"}, false);
  const auto second = desktop->addVisibilityAssertion({6}, {}, false);
  EXPECT_EQ(barIdentifiers(), (std::vector<std::string>{"wifi"}));
  desktop->removeVisibilityAssertion(second);
  EXPECT_EQ(barIdentifiers(), (std::vector<std::string>{"battery", "wifi", "notes"}));
  desktop->removeVisibilityAssertion(first);
}

TEST_F(VisibilityAssertionTest, OwnItemsHideWhenTheCallerIsHiddenOrRunsElsewhere) {
  auto own = desktop->statusBar().createStatusItem(20);
  auto a = desktop->addVisibilityAssertion({}, {"local.quenby.Quiverly"}, false);
  EXPECT_TRUE(own->buttonScreenFrame().has_value());
  desktop->removeVisibilityAssertion(a);
  a = desktop->addVisibilityAssertion({}, {"local.quenby.Quiverly"}, true);
  EXPECT_FALSE(own->buttonScreenFrame().has_value());
  EXPECT_TRUE(extraChildren(900).empty());
  desktop->removeVisibilityAssertion(a);
  EXPECT_TRUE(own->buttonScreenFrame().has_value());

  start(world("/Users/me/Downloads/Tucklet.app"));
  own = desktop->statusBar().createStatusItem(20);
  EXPECT_TRUE(own->buttonScreenFrame().has_value()) << "nothing hides without an assertion";
  a = desktop->addVisibilityAssertion({}, {"local.quenby.Quiverly"}, false);
  EXPECT_FALSE(own->buttonScreenFrame().has_value());
}

TEST_F(VisibilityAssertionTest, HidingAnItemClosesItsMenu) {
  ASSERT_EQ(ax().performAction(extraChildren(101).at(0), "AXPress"), AXError::Success);
  std::vector<std::string> heard;
  auto observer = ax().createObserver(
      101, [&](const AXElementRef&, const std::string& n) { heard.push_back(n); });
  observer->attach();
  ASSERT_EQ(observer->addNotification(ax().applicationElement(101), "AXMenuClosed"),
            AXError::Success);
  desktop->addVisibilityAssertion({}, {"com.example.music"}, false);
  loop.drain();
  EXPECT_TRUE(desktop->openMenus().empty());
  EXPECT_EQ(heard, std::vector<std::string>{"AXMenuClosed"});
}

}  // namespace
}  // namespace tucklet::testing
