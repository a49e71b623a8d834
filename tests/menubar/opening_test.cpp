// Opening a hidden item against every way an application answers a press, how an opening ends
// (its menu closes, a window it opened closes, Escape, a click elsewhere, a newer opening) and what
// it leaves visible afterwards in each hiding mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

using platform::VirtualRunLoop;
using sim::PressBehaviour;

constexpr const char* radioID = "radio.status";      // "AXShowMenu" only
constexpr const char* scannerID = "scanner.status";  // -25208
constexpr const char* faxID = "fax.status";          // -25206
constexpr const char* printerID = "printer.status";  // opens a window
constexpr const char* stuckID = "stuck.status";      // never answers
constexpr const char* lampID = "lamp.status";        // opens a window a second later
constexpr std::uint16_t escapeKey = 53;

WorldBuilder withPressing(WorldBuilder world) {
  auto add = [&world](pid_t pid, const std::string& name, const char* identifier,
                      PressBehaviour press, double position) {
    world.app(pid, "com.example." + name, name)
        .extra(identifier)
        .at(position)
        .withExtra([press](sim::WorldExtra& e) { e.press = press; });
  };
  add(103, "Radio", radioID, PressBehaviour::ShowMenuOnly, 220);
  add(104, "Scanner", scannerID, PressBehaviour::Unsupported25208, 230);
  add(105, "Fax", faxID, PressBehaviour::Unsupported25206, 240);
  add(106, "Printer", printerID, PressBehaviour::OpensWindow, 250);
  add(107, "Stuck", stuckID, PressBehaviour::Hangs, 260);
  add(108, "Lamp", lampID, PressBehaviour::OpensWindow, 270);
  world.withExtra([](sim::WorldExtra& e) { e.windowDelay = 1; });
  return world;
}

// Native hiding whose reveals and hides take 10 ms, so that the marks around them differ.
sim::World nativeWorld() {
  return withPressing(visibilityWorld())
      .withWorld([](sim::World& w) { w.visibilityFramework.faults.activationDelay = 0.01; })
      .build();
}

class Opening : public ::testing::Test {
 protected:
  BarController& launch(sim::World world = nativeWorld(),
                        platform::PlistDict stored = setUpDefaults()) {
    rig = std::make_unique<TuckletRig>(std::move(world), std::move(stored));
    auto& controller = rig->launch();
    rig->advance(1.5);  // start-up step, collapse and its safety check
    return controller;
  }
  BarController& controller() { return rig->controller(); }

  BarItem item(const std::string& identifier) {
    for (const auto& item : controller().inventory().items())
      if (item.identifier == identifier) return item;
    ADD_FAILURE() << "no item " << identifier;
    return {};
  }
  // Opens the item and lets the reveal (10 ms), the wait for its icon and the press run.
  void open(const std::string& identifier) {
    controller().opener().openItem(item(identifier));
    rig->advance(0.011);
  }
  bool shown(const std::string& identifier) const {
    const auto extras = rig->shownExtras();
    return std::find(extras.begin(), extras.end(), identifier) != extras.end();
  }
  // The identifier of the item whose menu is open, if any.
  std::string openMenu() const {
    for (const auto& menu : rig->desktop().openMenus())
      if (menu.extra != 0) return rig->desktop().extra(menu.extra)->identifier.value_or("?");
    return "";
  }
  std::optional<platform::WindowNumber> windowOf(pid_t pid) const {
    for (const auto& window : rig->services().windowServer.onScreenWindows(true))
      if (window.ownerPid == pid && window.layer == 0) return window.number;
    return std::nullopt;
  }
  bool opening() { return controller().opener().activeItem().has_value(); }
  const std::map<std::string, double>& latency() { return controller().opener().latency(); }

  std::unique_ptr<TuckletRig> rig;
};

TEST_F(Opening, ChoosingAnItemOpensItsMenuAndItsClosingHidesItAgain) {
  launch();
  ASSERT_FALSE(shown(notesID));
  rig->clickOwnItem("QuiverlyToggle");
  ASSERT_TRUE(rig->desktop().chooseMenuRow("Notes"));
  rig->advance(0.011);
  EXPECT_TRUE(shown(notesID));
  EXPECT_EQ(openMenu(), notesID);
  EXPECT_TRUE(opening());
  EXPECT_TRUE(controller().opener().menuWasObserved());
  EXPECT_FALSE(shown(musicID)) << "only the chosen item's application is revealed";

  // Choosing a row of the item's own menu closes it: the observer hides the item at once, long
  // before the next poll.
  rig->advance(0.2);
  ASSERT_TRUE(rig->desktop().chooseMenuRow("Quit"));
  rig->runLoop.drain();
  EXPECT_FALSE(opening());
  rig->advance(0.011);
  EXPECT_FALSE(shown(notesID));
  EXPECT_TRUE(controller().engine().collapsed());
  EXPECT_EQ(rig->desktop().visibilityAssertionCount(), 1u);

  // Each mark once, in the order of the steps.
  const std::vector<std::string> marks = {"visibilityReady", "iconReady",    "pressSent",
                                          "pressReturned",   "menuObserved", "closeObserved",
                                          "hideCommitted"};
  double previous = latency().at("actionAt");
  for (const auto& mark : marks) {
    ASSERT_TRUE(latency().contains(mark + "At")) << mark;
    EXPECT_GE(latency().at(mark + "At"), previous) << mark;
    EXPECT_NEAR(latency().at(mark + "Ms"),
                (latency().at(mark + "At") - latency().at("actionAt")) * 1000, 1e-6);
    previous = latency().at(mark + "At");
  }
  EXPECT_GT(latency().at("visibilityReadyAt"), latency().at("actionAt"));
  EXPECT_GT(latency().at("closeObservedAt"), latency().at("menuObservedAt"));
  EXPECT_GT(latency().at("hideCommittedAt"), latency().at("closeObservedAt"));
  EXPECT_FALSE(latency().contains("layoutFallbackAt"));
}

TEST_F(Opening, AnItemNotFoundAgainIsPressedAfterTheWait) {
  launch();
  auto renamed = item(notesID);
  renamed.identifier = "notes.renamed";
  controller().opener().openItem(renamed);
  rig->advance(0.3);
  EXPECT_FALSE(latency().contains("pressSentAt"));
  rig->advance(0.03);
  ASSERT_TRUE(latency().contains("layoutFallbackAt"));
  EXPECT_GE(latency().at("layoutFallbackMs"), 300);
  EXPECT_FALSE(latency().contains("iconReadyAt"));
  EXPECT_EQ(latency().at("pressSentAt"), latency().at("layoutFallbackAt"));
  EXPECT_EQ(openMenu(), notesID) << "the record given is pressed";
}

TEST_F(Opening, PressFallsBackToShowMenuOrSaysWhyAndLeavesTheIconRevealed) {
  launch();
  open(radioID);
  EXPECT_EQ(openMenu(), radioID);
  EXPECT_TRUE(opening());
  EXPECT_FALSE(controller().message());

  for (const auto& [identifier, app] :
       {std::pair{scannerID, "Scanner"}, std::pair{faxID, "Fax"}, std::pair{stuckID, "Stuck"}}) {
    SCOPED_TRACE(identifier);
    open(identifier);
    EXPECT_FALSE(opening());
    EXPECT_EQ(controller().message(),
              std::string(app) +
                  " does not support Accessibility clicks. Click its revealed icon instead.");
    EXPECT_EQ(openMenu(), "");
    rig->advance(5);
    EXPECT_TRUE(shown(identifier)) << "the user can click the revealed icon";
    EXPECT_FALSE(controller().engine().busy());
  }
}

TEST_F(Opening, AWindowLastsUntilItClosesAndEscapeOrAClickElsewhereEndsIt) {
  launch();
  const pid_t printer = 106;
  {
    SCOPED_TRACE("the window closes");
    open(printerID);
    ASSERT_TRUE(opening());
    rig->advance(0.05);  // the window opens after the press
    const auto window = windowOf(printer);
    ASSERT_TRUE(window);
    rig->advance(2);  // long past the wait for a menu
    EXPECT_TRUE(opening());
    EXPECT_TRUE(shown(printerID));
    rig->desktop().closeWindow(*window);
    rig->advance(0.081);
    EXPECT_FALSE(opening());
    rig->advance(0.011);
    EXPECT_FALSE(shown(printerID));
  }
  {
    SCOPED_TRACE("nothing seen within 0.45 s");
    open(lampID);
    rig->advance(0.44);
    EXPECT_TRUE(opening());
    rig->advance(0.05);  // the poll after the wait
    EXPECT_FALSE(opening());
    rig->advance(0.011);
    EXPECT_FALSE(shown(lampID));
  }
  {
    SCOPED_TRACE("Escape, while the window stays open");
    open(printerID);
    rig->advance(0.06);
    ASSERT_TRUE(windowOf(printer));
    rig->desktop().pressKey(escapeKey);
    rig->runLoop.drain();
    EXPECT_FALSE(opening());
    EXPECT_TRUE(latency().contains("closeObservedAt"));
    rig->advance(0.011);
    EXPECT_FALSE(shown(printerID));
  }
  {
    SCOPED_TRACE("a click elsewhere");
    open(printerID);
    rig->advance(0.09);  // the window is open; the first poll has been
    ASSERT_TRUE(windowOf(printer));
    rig->desktop().click({700, 400});  // closes the window, which no poll sees for 70 ms
    rig->advance(0.02);
    EXPECT_TRUE(opening());
    rig->advance(0.01);
    EXPECT_FALSE(opening());
  }
}

TEST_F(Opening, ASecondOpeningTearsTheFirstDown) {
  launch();
  const auto timers = rig->runLoop.liveTimerCount();
  open(notesID);
  ASSERT_EQ(openMenu(), notesID);
  EXPECT_EQ(rig->runLoop.liveTimerCount(), timers + 1);

  open(radioID);
  EXPECT_EQ(openMenu(), radioID);
  EXPECT_EQ(controller().opener().activeItem()->identifier, radioID);
  EXPECT_FALSE(shown(notesID));
  EXPECT_TRUE(shown(radioID));
  EXPECT_EQ(rig->runLoop.liveTimerCount(), timers + 1) << "one menu poll";
  // Nothing of the first opening ends the second.
  rig->advance(2);
  EXPECT_TRUE(opening());
  EXPECT_EQ(openMenu(), radioID);

  // Not even a click's late look at the first, while the second's window is yet to open.
  open(printerID);
  rig->advance(0.09);
  rig->desktop().click({700, 400});
  rig->runLoop.drain();  // the monitor has seen the click
  open(printerID);
  rig->advance(0.03);
  EXPECT_TRUE(opening());
}

TEST_F(Opening, DividerModeRevealsEverythingAndFoldsOnlyWithAutoCollapse) {
  for (const bool autoCollapse : {false, true}) {
    SCOPED_TRACE(autoCollapse);
    auto stored = setUpDefaults();
    stored["autoCollapse"] = autoCollapse;
    stored["collapseDelay"] = 2.0;
    launch(withPressing(dividerWorld()).build(), stored);
    ASSERT_TRUE(controller().engine().collapsed());
    open(notesID);
    EXPECT_EQ(openMenu(), notesID);
    EXPECT_FALSE(controller().engine().collapsed());
    EXPECT_TRUE(shown(musicID));

    rig->desktop().pressKey(escapeKey);
    rig->advance(2.1);
    EXPECT_FALSE(opening());
    EXPECT_EQ(controller().engine().collapsed(), autoCollapse);
    rig->advance(20);
    EXPECT_EQ(controller().engine().collapsed(), autoCollapse);
  }
}

TEST_F(Opening, ASystemItemWithoutAControlIsPressedWhereItIs) {
  launch();
  const auto generation = controller().engine().visibilityGeneration();
  controller().opener().openItem(item(nowPlayingID));
  // Pressed at once: no reveal, which the visibility interface cannot do for it.
  EXPECT_TRUE(latency().contains("pressSentAt"));
  EXPECT_EQ(latency().at("pressSentMs"), 0);
  rig->runLoop.drain();
  EXPECT_EQ(controller().engine().visibilityGeneration(), generation + 1);
  EXPECT_FALSE(latency().contains("visibilityReadyAt"));
  // Hidden, it cannot be pressed.
  EXPECT_EQ(controller().message(),
            "Now Playing cannot open while hidden. Use Show All to access it.");
  EXPECT_FALSE(opening());
}

TEST_F(Opening, AStaleGenerationAbandonsItsSteps) {
  launch();
  rig->runLoop.setBackgroundPolicy(VirtualRunLoop::BackgroundPolicy::Hold);
  {
    SCOPED_TRACE("while the icon is looked for");
    open(notesID);
    ASSERT_EQ(rig->runLoop.heldBackgroundCount(), 1u);
    controller().showAll();
    rig->runLoop.releaseBackground();
    rig->advance(0.5);
    EXPECT_FALSE(latency().contains("pressSentAt"));
    EXPECT_EQ(openMenu(), "");
  }
  {
    SCOPED_TRACE("while the press is in flight");
    open(notesID);
    rig->runLoop.releaseBackground();  // the icon is found
    rig->runLoop.drain();
    ASSERT_TRUE(latency().contains("pressSentAt"));
    ASSERT_EQ(rig->runLoop.heldBackgroundCount(), 1u);
    controller().showAll();
    rig->runLoop.releaseBackground();
    rig->advance(0.5);
    EXPECT_FALSE(latency().contains("pressReturnedAt"));
    EXPECT_FALSE(opening());
    EXPECT_FALSE(controller().engine().busy());
  }
}

}  // namespace
}  // namespace tucklet::testing
