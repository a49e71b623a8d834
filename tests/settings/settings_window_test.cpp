// The settings window's widgets on a whole Tucklet: clicks in the window reach the defaults file,
// the sidebar switches panes, and the controls keep to their ranges and fields.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include "app/app_delegate.h"
#include "features/feature_runtime.h"
#include "features/widgets/shortcut_recorder.h"
#include "platform/host/plist_user_defaults.h"
#include "platform/sim/desktop.h"
#include "platform/sim/visibility_host.h"
#include "platform/virtual_run_loop.h"
#include "tests/visibility/visibility_worlds.h"
#include "ui/settings/widgets/settings_window_widget.h"
#include "visibility/native_visibility.h"

namespace tucklet::testing {
namespace {

QApplication& widgetApp() {
  static int argc = 1;
  static char name[] = "tests_settings";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

// Tucklet with its settings window's widgets, storing its defaults in a property list file.
class SettingsRig {
 public:
  explicit SettingsRig(sim::World world)
      : folder_(
            std::filesystem::temp_directory_path() /
            ("tucklet-settings-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))),
        defaults_("com.example.Tucklet", folder_.string()) {
    widgetApp();
    defaults_.setObject("setupComplete", true);
    desktop_ = std::make_unique<sim::SimDesktop>(std::move(world), runLoop);
    sim::attachVisibilityHost(*desktop_, runLoop);
    services_.emplace(desktop_->platform(defaults_));
    configureNativeVisibility(
        sim::resolveVisibilityFrameworkPath(services_->visibilityFrameworkPath), &runLoop);
    delegate_ = std::make_unique<AppDelegate>(*services_, Arguments(std::vector<std::string>{}),
                                              false, nullptr);
    delegate_->settingsViews = settings_ui::makeSettingsViews();
    delegate_->applicationWillFinishLaunching();
    delegate_->applicationDidFinishLaunching();
    runLoop.advance(1);
  }
  ~SettingsRig() {
    controller().applicationWillTerminate();
    delegate_.reset();
    sim::detachVisibilityHost(*desktop_);
    configureNativeVisibility("", nullptr);
    std::filesystem::remove_all(folder_);
  }

  BarController& controller() { return *delegate_->controller; }
  sim::SimDesktop& desktop() { return *desktop_; }
  // Where a point of a widget of the window is on the desktop's screen.
  platform::Point screenPoint(const QWidget* widget, QPoint at = {-1, -1}) {
    auto* settings = dynamic_cast<settings_ui::SettingsWindowWidget*>(window());
    if (!settings || !settings->hostWindow()) return {};
    const auto frame = settings->hostWindow()->contentFrame();
    if (!frame) return {};
    const QPoint local = widget->mapTo(settings, at.x() < 0 ? widget->rect().center() : at);
    return {frame->x + local.x() + 0.5, frame->maxY() - local.y() - 0.5};
  }
  // A person's click on a widget of the window, through the desktop's pointer.
  void clickOn(const QWidget* widget, QPoint at = {-1, -1}) {
    desktop().click(screenPoint(widget, at));
    settle();
  }
  // A press at `from`, the pointer moved to `to` with the button held, and the release there.
  void drag(platform::Point from, platform::Point to) {
    for (const auto& [type, where] : {std::pair{platform::EventType::LeftMouseDown, from},
                                      std::pair{platform::EventType::MouseMoved, to},
                                      std::pair{platform::EventType::LeftMouseUp, to}}) {
      platform::InputEvent event;
      event.type = type;
      event.location = where;
      desktop().windowServer().postEvent(event);
      settle();
    }
  }
  void settle() {
    runLoop.advance(0.05);
    QApplication::processEvents();
    runLoop.advance(0.05);
  }
  // What a later run would read from the defaults file.
  platform::PlistDict stored() const {
    return platform::PlistUserDefaults("com.example.Tucklet", folder_.string()).persistentDomain();
  }
  QWidget* window() const {
    for (auto* widget : QApplication::topLevelWidgets())
      if (dynamic_cast<settings_ui::SettingsWindowWidget*>(widget)) return widget;
    return nullptr;
  }
  template <typename T>
  T* find(const QString& name) const {
    QApplication::processEvents();
    return window() ? window()->findChild<T*>(name) : nullptr;
  }
  // The recorder buttons have no meta-object of their own: found among the push buttons.
  ShortcutRecorder::RecorderButton* recorder(const QString& name) const {
    return dynamic_cast<ShortcutRecorder::RecorderButton*>(find<QPushButton>(name));
  }
  QPushButton* buttonTitled(const QString& title) const {
    QApplication::processEvents();
    for (auto* b : window()->findChildren<QPushButton*>())
      if (b->text() == title && b->isVisible()) return b;
    return nullptr;
  }
  void open(const std::string& tab) {
    controller().settingsWindow().setSettingsTab(tab);
    controller().openSettingsWindow();
    QApplication::processEvents();
  }

  platform::VirtualRunLoop runLoop;

 private:
  static inline int counter_ = 0;
  std::filesystem::path folder_;
  platform::PlistUserDefaults defaults_;
  std::unique_ptr<sim::SimDesktop> desktop_;
  std::optional<platform::Platform> services_;
  std::unique_ptr<AppDelegate> delegate_;
};

TEST(SettingsWindow, ClicksThroughTheDesktopReachTheDefaultsFile) {
  SettingsRig rig(visibilityWorld().build());
  // A right click on the icon opens the window on the desktop, as the key window.
  const auto icon = rig.controller().statusItem().item()->buttonScreenFrame();
  ASSERT_TRUE(icon);
  rig.desktop().click({icon->midX(), icon->midY()}, 0, true);
  rig.settle();
  ASSERT_TRUE(rig.controller().settingsWindow().windowVisible());
  auto windows = rig.desktop().ownWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows.front().title, "tucklet");
  EXPECT_TRUE(windows.front().key);
  EXPECT_EQ(windows.front().contentFrame.width, 860);
  EXPECT_EQ(windows.front().contentFrame.height, 640);
  bool listed = false;
  for (const auto& w : rig.desktop().windowServer().onScreenWindows(true))
    listed = listed || (w.number == windows.front().number && w.name == "tucklet");
  EXPECT_TRUE(listed);

  rig.controller().settingsWindow().setSettingsTab("behavior");
  auto* optionClick = rig.find<QAbstractButton>("general.optionClick");
  ASSERT_NE(optionClick, nullptr);
  ASSERT_TRUE(optionClick->isChecked());
  rig.clickOn(optionClick);
  EXPECT_EQ(rig.stored().at("optionClickReveals"), platform::PlistValue(false));

  // The sidebar switches to the groups pane; its button adds a group to the stored features, and
  // the new group shows at once.
  auto* sidebar = rig.find<QListWidget>("sidebar");
  ASSERT_NE(sidebar, nullptr);
  const auto rows = sidebar->findItems("Groups & Order", Qt::MatchExactly);
  ASSERT_EQ(rows.size(), 1);
  rig.clickOn(sidebar->viewport(), sidebar->visualItemRect(rows.front()).center());
  EXPECT_EQ(rig.controller().settingsTab(), "groups");
  auto* add = rig.buttonTitled("Add Group");
  ASSERT_NE(add, nullptr);
  rig.clickOn(add);
  EXPECT_EQ(rig.controller().preferences().features().groups.size(), 1u);
  EXPECT_TRUE(rig.stored().at("features").isData());
  EXPECT_NE(rig.buttonTitled("Delete Group"), nullptr);

  // The desktop's scroll wheel scrolls the pane under the pointer.
  rig.controller().settingsWindow().setSettingsTab("about");
  auto* pane = rig.find<QScrollArea>("pane");
  ASSERT_NE(pane, nullptr);
  ASSERT_GT(pane->verticalScrollBar()->maximum(), 0);
  platform::InputEvent wheel;
  wheel.type = platform::EventType::ScrollWheel;
  wheel.location = rig.screenPoint(pane->viewport());
  wheel.scrollDeltaY = -60;  // the content moves up
  rig.desktop().windowServer().postEvent(wheel);
  rig.settle();
  EXPECT_GT(pane->verticalScrollBar()->value(), 0);
  rig.controller().settingsWindow().setSettingsTab("groups");

  // The title bar's close button orders the window out; it comes back where it was, as it was.
  const auto frame = rig.desktop().ownWindows().front().frame;
  const double primaryHeight = rig.desktop().screens().screens().front().frame.height;
  rig.desktop().click({frame.x + 20, primaryHeight - (frame.y + 14)});
  rig.settle();
  EXPECT_FALSE(rig.controller().settingsWindow().windowVisible());
  EXPECT_TRUE(rig.desktop().ownWindows().empty());
  rig.open("groups");
  windows = rig.desktop().ownWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows.front().frame, frame);
  EXPECT_NE(rig.buttonTitled("Delete Group"), nullptr);
  // Command-W closes it too.
  rig.desktop().pressKey(13, platform::ModifierCommand);
  rig.settle();
  EXPECT_FALSE(rig.controller().settingsWindow().windowVisible());
  EXPECT_TRUE(rig.desktop().ownWindows().empty());
}

TEST(SettingsWindow, TheRecorderRecordsThroughTheDesktopAndAcrossRebuilds) {
  SettingsRig rig(visibilityWorld().build());
  auto& prefs = rig.controller().preferences();
  auto config = prefs.features();
  config.shortcuts.emplace_back();  // search on ⌃⌥⌘S
  prefs.setFeatures(config);
  const auto id = config.shortcuts.front().id;
  const QString name = QString::fromStdString("shortcut." + id.text() + ".recorder");
  rig.open("shortcuts");
  rig.settle();
  auto& runtime = rig.controller().featureRuntime();
  auto* recorder = rig.recorder(name);
  ASSERT_NE(recorder, nullptr);
  EXPECT_EQ(recorder->text(), "⌃⌥⌘S");

  rig.clickOn(recorder);
  EXPECT_TRUE(runtime.recordingShortcut());
  // Something else changes while the person records: the pane is built again and its recorder
  // of the same shortcut records on, without the hot keys coming back.
  rig.controller().settingsWindow().stateChanged();
  rig.settle();
  recorder = rig.recorder(name);
  ASSERT_NE(recorder, nullptr);
  EXPECT_TRUE(recorder->isRecording());
  EXPECT_EQ(recorder->text(), "Type shortcut…");
  EXPECT_TRUE(runtime.recordingShortcut());

  // ⌥⌘K through the desktop's keyboard becomes the shortcut and ends recording.
  rig.desktop().pressKey(40, platform::ModifierCommand | platform::ModifierOption);
  rig.settle();
  const auto& recorded = prefs.features().shortcuts.front();
  EXPECT_EQ(recorded.keyCode, 40u);
  EXPECT_EQ(recorded.keyLabel, "K");
  EXPECT_TRUE(recorded.command && recorded.option && !recorded.control && !recorded.shift);
  EXPECT_FALSE(runtime.recordingShortcut());
  recorder = rig.recorder(name);
  ASSERT_NE(recorder, nullptr);
  EXPECT_EQ(recorder->text(), "⌥⌘K");

  // A click elsewhere in the window ends recording without a shortcut, as does closing it.
  rig.clickOn(recorder);
  ASSERT_TRUE(runtime.recordingShortcut());
  rig.clickOn(rig.find<QWidget>("sidebar"), {10, 600});  // below the rows
  EXPECT_FALSE(runtime.recordingShortcut());
  recorder = rig.recorder(name);
  ASSERT_NE(recorder, nullptr);
  EXPECT_FALSE(recorder->isRecording());
  rig.clickOn(rig.recorder(name));
  ASSERT_TRUE(runtime.recordingShortcut());
  rig.controller().settingsWindow().closeSettingsWindow();
  EXPECT_FALSE(runtime.recordingShortcut());
  EXPECT_EQ(prefs.features().shortcuts.front(), recorded);
}

TEST(SettingsWindow, HideAfterFollowsAutoHideAndKeepsItsRange) {
  SettingsRig rig(visibilityWorld().build());
  rig.controller().preferences().setAutoCollapse(false);
  rig.open("behavior");
  auto* slider = rig.find<QSlider>("general.collapseDelay");
  ASSERT_NE(slider, nullptr);
  EXPECT_TRUE(slider->isVisible());
  EXPECT_FALSE(slider->isEnabled());

  rig.controller().preferences().setAutoCollapse(true);
  slider = rig.find<QSlider>("general.collapseDelay");
  ASSERT_TRUE(slider->isEnabled());
  slider->setValue(0);
  EXPECT_EQ(rig.controller().preferences().collapseDelay(), 2);
  slider = rig.find<QSlider>("general.collapseDelay");
  slider->setValue(1'000'000);
  EXPECT_EQ(rig.controller().preferences().collapseDelay(), 30);

  // Dragging the knob with the desktop's pointer past the left end stops at the minimum.
  slider = rig.find<QSlider>("general.collapseDelay");
  const auto knob = rig.screenPoint(slider, {slider->width() - 6, slider->height() / 2});
  rig.drag(knob, {knob.x - slider->width() - 40, knob.y});
  EXPECT_EQ(rig.controller().preferences().collapseDelay(), 2);
}

TEST(SettingsWindow, ARulesConditionChangeKeepsItsOtherFields) {
  SettingsRig rig(visibilityWorld().build());
  auto& prefs = rig.controller().preferences();
  auto config = prefs.features();
  config.presets.push_back(prefs.captureVisibility("Work"));
  AutomationRule rule;
  rule.enabled = false;
  rule.value = "com.example.notes";
  rule.presetID = config.presets[0].id;
  config.rules.push_back(rule);
  prefs.setFeatures(config);
  rig.open("rules");

  auto* when = rig.find<QComboBox>(QString::fromStdString("rule." + rule.id.text() + ".condition"));
  ASSERT_NE(when, nullptr);
  EXPECT_EQ(when->currentText(), "Active application");
  // The picker pops its entries up as a menu of the desktop's; choosing one changes the rule.
  rig.clickOn(when);
  ASSERT_TRUE(rig.desktop().chooseMenuRow("Time of day"));
  rig.settle();
  auto changed = rule;
  changed.condition = RuleCondition::timeRange;
  ASSERT_EQ(prefs.features().rules.size(), 1u);
  EXPECT_EQ(prefs.features().rules[0], changed);
  // The time range's steppers replace the bundle field.
  EXPECT_NE(rig.find<QWidget>(QString::fromStdString("rule." + rule.id.text() + ".from.up")),
            nullptr);
  EXPECT_EQ(rig.find<QWidget>(QString::fromStdString("rule." + rule.id.text() + ".value")),
            nullptr);
}

TEST(SettingsWindow, DividerFormShowsTheEmptyStateWithoutItems) {
  SettingsRig rig(dividerWorld().build());
  rig.open("items");
  EXPECT_EQ(rig.find<QWidget>("emptyState"), nullptr);
  EXPECT_NE(rig.buttonTitled("Rescan"), nullptr);
  rig.controller().inventory().clear();
  EXPECT_NE(rig.find<QWidget>("emptyState"), nullptr);
}

}  // namespace
}  // namespace tucklet::testing
