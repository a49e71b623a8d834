// Accessibility reads: the two item structures, unreadable frames, role texts as given,
// coordinates, trust, and the messaging time-outs of slow and hung applications.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using sim::SimDesktop;
using sim::Size;

class AccessibilityTest : public DesktopTest {
 protected:
  void SetUp() override {
    start(WorldBuilder()
              .app(100, "com.example.direct", "Direct")
              .extra("clock", 30)
              .at(0)
              .withExtra([](sim::WorldExtra& e) {
                e.title = "Clock";
                e.description = " Time ";
              })
              .extra("no-position", 22)
              .at(1)
              .withExtra([](sim::WorldExtra& e) { e.positionReadable = false; })
              .app(101, "com.example.nested", "Nested")
              .extra("nested", 26)
              .at(2)
              .withExtra([](sim::WorldExtra& e) {
                e.structure = sim::WorldExtra::Structure::Grandchild;
                e.childRole = "AXGroup";
                e.itemRole = " AXMenuBarItem\n";
                e.childFrameReadable = false;
              })
              .withApp([](sim::WorldApplication& a) {
                a.windows.push_back({"Editor", {200, 300, 100, 50}, 0, std::nullopt});
              })
              .app(102, "com.example.plain", "Plain")
              .build());
  }
};

TEST_F(AccessibilityTest, DirectStructureReadsTheItemItself) {
  const auto app = ax().applicationElement(100);
  EXPECT_EQ(text(app, "AXRole"), "AXApplication");
  EXPECT_EQ(text(app, "AXTitle"), "Direct");
  const auto bar = extrasBar(100);
  ASSERT_TRUE(bar);
  EXPECT_EQ(text(bar, "AXRole"), "AXMenuBar");
  const auto items = children(bar);
  ASSERT_EQ(items.size(), 2u);
  const auto& clock = items[0];
  EXPECT_EQ(text(clock, "AXRole"), "AXMenuBarItem");
  EXPECT_EQ(text(clock, "AXSubrole"), "AXMenuExtra");
  EXPECT_EQ(text(clock, "AXIdentifier"), "clock");
  EXPECT_EQ(text(clock, "AXTitle"), "Clock");
  EXPECT_EQ(text(clock, "AXDescription"), " Time ") << "texts come as given";
  EXPECT_EQ(read(clock, "AXHelp").error, AXError::NoValue);
  EXPECT_EQ(*read(clock, "AXPosition").value.point(), (Point{1474, 0}));
  EXPECT_EQ(*read(clock, "AXSize").value.size(), (Size{30, 24}));
  EXPECT_FALSE(*read(clock, "AXSelected").value.boolean());
  EXPECT_TRUE(children(clock).empty());
  EXPECT_EQ(read(clock, "AXChildren").error, AXError::Success);
  EXPECT_TRUE((*read(clock, "AXParent").value.element())->sameElement(*bar));
  EXPECT_EQ(read(clock, "AXValueWobble").error, AXError::AttributeUnsupported);

  bool settable = true;
  EXPECT_EQ(ax().isAttributeSettable(clock, "AXHelp", settable), AXError::Success);
  EXPECT_FALSE(settable);
  EXPECT_EQ(ax().isAttributeSettable(clock, "AXValueWobble", settable),
            AXError::AttributeUnsupported);

  // An unreadable position reads as no value; the size still reads.
  EXPECT_EQ(read(items[1], "AXPosition").error, AXError::NoValue);
  EXPECT_EQ(read(items[1], "AXSize").error, AXError::Success);

  EXPECT_EQ(read(ax().applicationElement(102), "AXExtrasMenuBar").error, AXError::NoValue);
}

TEST_F(AccessibilityTest, GrandchildStructureHasTheItemBelowAContainer) {
  const auto items = extraChildren(101);
  ASSERT_EQ(items.size(), 1u);
  const auto& container = items[0];
  EXPECT_EQ(text(container, "AXRole"), "AXGroup");
  EXPECT_EQ(read(container, "AXPosition").error, AXError::NoValue);
  EXPECT_EQ(read(container, "AXSize").error, AXError::NoValue);
  EXPECT_EQ(read(container, "AXIdentifier").error, AXError::NoValue);
  const auto inner = children(container);
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(text(inner[0], "AXRole"), " AXMenuBarItem\n");
  EXPECT_EQ(text(inner[0], "AXIdentifier"), "nested");
  EXPECT_EQ(*read(inner[0], "AXPosition").value.point(), (Point{1418, 0}));
  EXPECT_TRUE((*read(inner[0], "AXParent").value.element())->sameElement(*container));

  // A hit test on the item finds the deepest element.
  AXElementRef hit;
  ASSERT_EQ(ax().elementAtPosition(ax().systemWideElement(), 1431, 12, hit), AXError::Success);
  EXPECT_TRUE(hit->sameElement(*inner[0]));
  EXPECT_FALSE(hit->sameElement(*container));
}

TEST_F(AccessibilityTest, HandlesFromDifferentCallsNameTheSameElement) {
  const auto first = extraChildren(100);
  const auto second = extraChildren(100);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_TRUE(first[0]->sameElement(*second[0]));
  EXPECT_FALSE(first[0]->sameElement(*second[1]));
  EXPECT_TRUE(ax().applicationElement(100)->sameElement(*ax().applicationElement(100)));
  EXPECT_FALSE(ax().applicationElement(100)->sameElement(*ax().applicationElement(101)));
  pid_t pid = 0;
  EXPECT_EQ(ax().pid(second[1], pid), AXError::Success);
  EXPECT_EQ(pid, 100);
  EXPECT_EQ(ax().pid(ax().systemWideElement(), pid), AXError::IllegalArgument);
}

TEST_F(AccessibilityTest, CoordinatesHaveTheirOriginAtTheTopLeftOfTheFirstScreen) {
  // The world's window is in window-list coordinates: Accessibility reads them unchanged.
  AXElementRef hit;
  ASSERT_EQ(ax().elementAtPosition(ax().systemWideElement(), 250, 325, hit), AXError::Success);
  EXPECT_EQ(text(hit, "AXRole"), "AXWindow");
  EXPECT_EQ(text(hit, "AXTitle"), "Editor");
  EXPECT_EQ(*read(hit, "AXPosition").value.point(), (Point{200, 300}));

  // The same place in screen coordinates (y up from the bottom of the 982-point screen).
  std::vector<pid_t> targets;
  auto monitor = desktop->windowServer().addGlobalMonitor(
      platform::eventMaskFor(platform::EventType::LeftMouseDown),
      [&](const platform::InputEvent& e) { targets.push_back(e.targetPid); });
  desktop->click({250, 982 - 325});
  desktop->click({250, 982 - 360});  // below the window: the desktop
  loop.drain();
  EXPECT_EQ(targets, (std::vector<pid_t>{101, 0}));

  // Only that application's interface for an application root.
  EXPECT_EQ(ax().elementAtPosition(ax().applicationElement(100), 250, 325, hit), AXError::NoValue);
  EXPECT_EQ(ax().elementAtPosition(ax().applicationElement(100), 1480, 5, hit), AXError::Success);
  EXPECT_EQ(text(hit, "AXIdentifier"), "clock");
}

TEST_F(AccessibilityTest, EveryMessageFailsWithoutTrust) {
  const auto item = extraChildren(100).at(0);
  desktop->setTrusted(false);
  EXPECT_FALSE(ax().isProcessTrusted());
  EXPECT_EQ(read(ax().applicationElement(100), "AXRole").error, AXError::APIDisabled);
  EXPECT_EQ(read(item, "AXTitle").error, AXError::APIDisabled);
  EXPECT_EQ(ax().performAction(item, "AXPress"), AXError::APIDisabled);
  AXElementRef hit;
  EXPECT_EQ(ax().elementAtPosition(ax().systemWideElement(), 1480, 5, hit), AXError::APIDisabled);
  auto observer = ax().createObserver(100, [](const AXElementRef&, const std::string&) {});
  EXPECT_EQ(observer->addNotification(item, "AXMenuClosed"), AXError::APIDisabled);
  EXPECT_TRUE(desktop->openMenus().empty());
  desktop->setTrusted(true);
  EXPECT_EQ(text(item, "AXTitle"), "Clock");
}

TEST_F(AccessibilityTest, TimeOutsAreCountedPerElement) {
  const auto app = ax().applicationElement(100);
  desktop->resetAccessibilityCounters();
  desktop->setApplicationHung(100, true);
  EXPECT_EQ(read(app, "AXRole").error, AXError::CannotComplete);
  EXPECT_DOUBLE_EQ(desktop->spentAccessibilitySeconds(), 6.0);
  EXPECT_EQ(desktop->accessibilityMessageCount(), 1u);

  ASSERT_EQ(ax().setMessagingTimeout(app, 0.15), AXError::Success);
  EXPECT_EQ(read(app, "AXRole").error, AXError::CannotComplete);
  EXPECT_DOUBLE_EQ(desktop->spentAccessibilitySeconds(), 6.15);

  // The system-wide default reaches every handle without a time-out of its own.
  ASSERT_EQ(ax().setMessagingTimeout(ax().systemWideElement(), 2.5), AXError::Success);
  desktop->resetAccessibilityCounters();
  EXPECT_EQ(read(app, "AXRole").error, AXError::CannotComplete);
  EXPECT_EQ(read(ax().applicationElement(100), "AXRole").error, AXError::CannotComplete);
  EXPECT_DOUBLE_EQ(desktop->spentAccessibilitySeconds(), 0.15 + 2.5);
  ASSERT_EQ(ax().setMessagingTimeout(app, 0), AXError::Success);
  EXPECT_EQ(read(app, "AXRole").error, AXError::CannotComplete);
  EXPECT_DOUBLE_EQ(desktop->spentAccessibilitySeconds(), 0.15 + 2.5 + 2.5);
  EXPECT_EQ(ax().setMessagingTimeout(app, -1), AXError::IllegalArgument);
  ASSERT_EQ(ax().setMessagingTimeout(ax().systemWideElement(), 0), AXError::Success);

  // An element read from a handle with its own time-out starts with the default.
  desktop->setApplicationHung(100, false);
  ASSERT_EQ(ax().setMessagingTimeout(app, 0.15), AXError::Success);
  const auto bar = extrasBar(100);
  desktop->setApplicationHung(100, true);
  desktop->resetAccessibilityCounters();
  EXPECT_EQ(read(bar, "AXRole").error, AXError::CannotComplete);
  EXPECT_DOUBLE_EQ(desktop->spentAccessibilitySeconds(), 6.0);
}

TEST_F(AccessibilityTest, LatencyIsPaidPerMessageAndTooMuchOfItTimesOut) {
  start(WorldBuilder()
            .withWorld([](sim::World& w) { w.accessibilityLatency = 0.01; })
            .app(100, "com.example.slow", "Slow")
            .extra("slow")
            .withApp([](sim::WorldApplication& a) { a.accessibilityLatency = 0.2; })
            .app(101, "com.example.quick", "Quick")
            .extra("quick")
            .build());
  EXPECT_EQ(text(ax().applicationElement(101), "AXTitle"), "Quick");
  EXPECT_EQ(text(ax().applicationElement(100), "AXTitle"), "Slow");
  EXPECT_NEAR(desktop->spentAccessibilitySeconds(), 0.21, 1e-9);
  EXPECT_EQ(desktop->accessibilityMessageCount(), 2u);

  const auto app = ax().applicationElement(100);
  ASSERT_EQ(ax().setMessagingTimeout(app, 0.2), AXError::Success);
  desktop->resetAccessibilityCounters();
  EXPECT_EQ(read(app, "AXTitle").error, AXError::CannotComplete)
      << "a latency as long as the time-out misses it";
  EXPECT_NEAR(desktop->spentAccessibilitySeconds(), 0.2, 1e-9);
}

// The calling thread really waits: a hung application answers after the time-out, not before
// and not never.
TEST_F(AccessibilityTest, HungApplicationAnswersAfterTheTimeOutOnABackgroundThread) {
  desktop->setLatencyMode(SimDesktop::LatencyMode::Sleep);
  desktop->setApplicationHung(100, true);
  const auto app = ax().applicationElement(100);
  ASSERT_EQ(ax().setMessagingTimeout(app, 0.5), AXError::Success);

  std::atomic<bool> done = false;
  AXError error = AXError::Success;
  double elapsed = 0;
  std::thread reader([&] {
    const auto begin = std::chrono::steady_clock::now();
    platform::AXValue value;
    error = ax().copyAttributeValue(app, "AXRole", value);
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    done = true;
  });
  // While the reader waits for the hung application, the desktop stays readable.
  while (desktop->accessibilityMessageCount() == 0)
    std::this_thread::yield();
  EXPECT_EQ(text(ax().applicationElement(101), "AXTitle"), "Nested");
  EXPECT_FALSE(done.load());
  reader.join();
  EXPECT_EQ(error, AXError::CannotComplete);
  EXPECT_GE(elapsed, 0.5);
  EXPECT_LT(elapsed, 1.5);

  // Too slow counts as hung: the answer comes after the time-out, not after the latency.
  desktop->setApplicationHung(100, false);
  start(WorldBuilder()
            .app(100, "com.example.slow", "Slow")
            .withApp([](sim::WorldApplication& a) { a.accessibilityLatency = 30; })
            .build());
  desktop->setLatencyMode(SimDesktop::LatencyMode::Sleep);
  const auto slow = ax().applicationElement(100);
  ASSERT_EQ(ax().setMessagingTimeout(slow, 0.2), AXError::Success);
  std::thread second([&] {
    const auto begin = std::chrono::steady_clock::now();
    platform::AXValue value;
    error = ax().copyAttributeValue(slow, "AXTitle", value);
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  });
  second.join();
  EXPECT_EQ(error, AXError::CannotComplete);
  EXPECT_GE(elapsed, 0.2);
  EXPECT_LT(elapsed, 1.2);
}

}  // namespace
}  // namespace tucklet::testing
