// The live desktop window, driven with synthetic Qt input under the offscreen platform: a click on
// the picture of a status item reaches that item's action at the right place, with the button and
// modifiers given, and keys reach the menu that is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "app/host/live_desktop_window.h"
#include "platform/virtual_run_loop.h"
#include "tests/support/world_builder.h"

namespace tucklet::testing {
namespace {

using platform::EventType;
using platform::InputEvent;

QApplication& widgetTestApp() {
  static int argc = 1;
  static char name[] = "tests_live_window";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

TEST(LiveDesktopWindowTest, ClicksAndKeysReachTheSimulatedDesktop) {
  widgetTestApp();
  platform::VirtualRunLoop loop;
  sim::SimDesktop desktop(WorldBuilder().build(), loop);
  auto item = desktop.statusBar().createStatusItem(24);
  std::vector<InputEvent> clicks;
  item->setAction([&](const InputEvent& e) { clicks.push_back(e); },
                  platform::eventMaskFor(EventType::LeftMouseUp) |
                      platform::eventMaskFor(EventType::RightMouseUp));
  const auto button = *item->buttonScreenFrame();

  LiveDesktopWindow window(desktop);
  window.resize(756, 491);  // the 1512 × 982 screen at half size
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto at = [&](platform::Point p) { return window.windowPointFor(p).toPoint(); };
  const platform::Point centre{button.midX(), button.midY()};

  QTest::mouseClick(&window, Qt::LeftButton, Qt::AltModifier, at(centre));
  QTest::mouseClick(&window, Qt::RightButton, Qt::NoModifier, at(centre));
  // Off the status item: nothing for it.
  QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, at({700, 500}));
  loop.drain();
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].type, EventType::LeftMouseUp);
  EXPECT_EQ(clicks[0].modifiers, platform::ModifierOption);
  EXPECT_TRUE(button.contains(clicks[0].location)) << clicks[0].location;
  EXPECT_EQ(clicks[1].type, EventType::RightMouseUp);

  // The arrow keys and Return choose a row of the open menu.
  std::vector<std::string> chosen;
  platform::MenuModel menu;
  for (const std::string title : {"First", "Second"}) {
    platform::MenuRow row;
    row.title = title;
    row.action = [&chosen, title] { chosen.push_back(title); };
    menu.rows.push_back(row);
  }
  desktop.menus().popUp(menu, item, [] {});
  QTest::keyClick(&window, Qt::Key_Down);
  QTest::keyClick(&window, Qt::Key_Down);
  QTest::keyClick(&window, Qt::Key_Return);
  loop.drain();
  EXPECT_EQ(chosen, (std::vector<std::string>{"Second"}));
  EXPECT_FALSE(desktop.menus().isTracking());

  // The picture fills the window at its pixel density.
  const auto picture = window.currentPicture();
  EXPECT_EQ(picture.size(), window.size() * window.devicePixelRatio());
}

}  // namespace
}  // namespace tucklet::testing
