// Tucklet's own windows on the simulated desktop, which the panel and every other window of the
// program stand on: an ordinary window with a title bar, the pointer and the keyboard reaching its
// widgets as Qt input, and key focus moving as clicks move it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/widgets/widget_window.h"
#include "platform/sim/desktop.h"
#include "platform/sim/render/screen_renderer.h"
#include "platform/virtual_run_loop.h"
#include "tests/panel/widget_app.h"
#include "tests/render/render_fixture.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

platform::Point middleOf(const platform::WindowHandle& window, const QWidget& top,
                         const QWidget& child) {
  const auto frame = *window.contentFrame();
  const auto local = child.mapTo(&top, QRectF(child.rect()).center());
  return {frame.x + local.x(), frame.maxY() - local.y()};
}

TEST(OwnWindowTest, AWidgetWindowTakesClicksAndTypingWhileItIsKey) {
  widgetApp();
  platform::VirtualRunLoop runLoop;
  sim::SimDesktop desktop(
      visibilityWorld().app(101, "com.example.notes", "Notes").frontmost().build(), runLoop);
  QWidget top;
  top.setFixedSize(300, 120);
  auto* layout = new QVBoxLayout(&top);
  auto* field = new QLineEdit(&top);
  auto* button = new QPushButton("Apply", &top);
  layout->addWidget(field);
  layout->addWidget(button);
  int applied = 0;
  QObject::connect(button, &QPushButton::clicked, [&applied] { ++applied; });

  auto content = std::make_shared<platform::WidgetWindowContent>(&top);
  int closed = 0;
  auto window = desktop.windows().openWindow(content, {200, 700}, {.title = "Settings"},
                                             [&closed] { ++closed; });
  ASSERT_TRUE(window);
  // Listed as Tucklet's, its content under a title bar, the content's top-left where asked.
  const auto frame = *window->frame();
  EXPECT_EQ(frame.width, 300);
  EXPECT_EQ(frame.height, 120 + sim::kTitleBarHeight);
  EXPECT_EQ(window->contentFrame()->maxY(), 700);
  bool listed = false;
  for (const auto& w : desktop.windowServer().onScreenWindows(true))
    listed |= w.number == window->number() && w.ownerPid == desktop.world().self.pid;
  EXPECT_TRUE(listed);

  // A click in the field makes the window key and focuses the field; typing goes there.
  desktop.click(middleOf(*window, top, *field));
  runLoop.advance(0.01);
  EXPECT_TRUE(window->isKey());
  EXPECT_TRUE(content->isKey());
  desktop.typeText("Hi there");
  desktop.pressKey(platform::key_code::Delete);
  runLoop.advance(0.01);
  EXPECT_EQ(field->text().toStdString(), "Hi ther");
  desktop.click(middleOf(*window, top, *button));
  runLoop.advance(0.01);
  EXPECT_EQ(applied, 1);

  // A click on the desktop leaves no window of Tucklet's key: keys go to the applications.
  const auto screen = desktop.screens().screens().front().frame;
  desktop.click({screen.x + 20, screen.y + 20});
  runLoop.advance(0.01);
  EXPECT_FALSE(window->isKey());
  desktop.typeText("x");
  runLoop.advance(0.01);
  EXPECT_EQ(field->text().toStdString(), "Hi ther");
  EXPECT_TRUE(window->isOpen());  // not transient
  // A picture to look at: the window in its place on the screen.
  const auto screenPicture = sim::ScreenRenderer(desktop).renderScreen(0);
  EXPECT_TRUE(sim::writePng(screenPicture, picturePath("own-window.png")));

  // The title bar's close button closes it, as the user closing it.
  desktop.click({frame.x + sim::kCloseButtonX, frame.maxY() - sim::kTitleBarHeight / 2});
  runLoop.advance(0.01);
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(window->isOpen());
  EXPECT_TRUE(desktop.ownWindows().empty());
}

}  // namespace
}  // namespace tucklet::testing
