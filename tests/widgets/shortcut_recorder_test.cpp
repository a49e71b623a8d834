// The shortcut recorder on Qt's offscreen platform: a click starts recording, the next key press
// becomes the shortcut (Escape records nothing), and any way of losing the focus ends recording.
#include "features/widgets/shortcut_recorder.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tucklet {
namespace {

QApplication& widgetsApp() {
  static int argc = 1;
  static char name[] = "tests_widgets";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

class ShortcutRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    widgetsApp();
    windowHolder = std::make_unique<QWidget>();
    QWidget& window = *windowHolder;
    shortcut.action = ShortcutAction::reveal;
    shortcut.target = "kept";
    recorder = new ShortcutRecorder(
        {.get = [this] { return shortcut; },
         .set = [this](const KeyboardShortcut& s) { shortcut = s; }},
        [this](bool recording) { reports.push_back(recording); }, &window);
    elsewhere = new QLineEdit(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(recorder);
    layout->addWidget(elsewhere);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  QString title() { return recorder->button().text(); }
  void startRecording() {
    QTest::mouseClick(&recorder->button(), Qt::LeftButton);
    ASSERT_EQ(title(), QString::fromUtf8("Type shortcut…"));
  }

  KeyboardShortcut shortcut;
  std::vector<bool> reports;
  std::unique_ptr<QWidget> windowHolder;
  ShortcutRecorder* recorder = nullptr;
  QLineEdit* elsewhere = nullptr;
};

TEST_F(ShortcutRecorderTest, EscapeAndClickingElsewhereChangeNothing) {
  const auto before = shortcut;
  EXPECT_EQ(title(), QString::fromUtf8("⌃⌥⌘S"));
  startRecording();
  QTest::keyClick(&recorder->button(), Qt::Key_Escape);
  EXPECT_EQ(shortcut, before);
  EXPECT_EQ(title(), QString::fromUtf8("⌃⌥⌘S"));
  EXPECT_EQ(reports, (std::vector<bool>{true, false}));

  startRecording();
  QTest::mouseClick(elsewhere, Qt::LeftButton);
  EXPECT_EQ(shortcut, before);
  EXPECT_EQ(title(), QString::fromUtf8("⌃⌥⌘S"));
  EXPECT_EQ(reports, (std::vector<bool>{true, false, true, false}));
  // The focus coming back does not record.
  recorder->button().setFocus();
  QTest::keyClick(&recorder->button(), Qt::Key_K);
  EXPECT_EQ(shortcut, before);
}

TEST_F(ShortcutRecorderTest, RecordsTheNextKeyPress) {
  // Qt's Control is the Mac's Command.
  startRecording();
  QTest::keyClick(&recorder->button(), Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(shortcut.keyCode, 123u);
  EXPECT_EQ(shortcut.keyLabel, "←");
  EXPECT_TRUE(shortcut.command && shortcut.shift);
  EXPECT_FALSE(shortcut.option || shortcut.control);
  EXPECT_EQ(shortcut.action, ShortcutAction::reveal);
  EXPECT_EQ(shortcut.target, "kept");
  EXPECT_EQ(title(), QString::fromUtf8("⇧⌘←"));
  EXPECT_EQ(reports, (std::vector<bool>{true, false}));

  // A plain letter is accepted as it is (registration refuses it later); a shifted sign counts
  // as its key.
  startRecording();
  QTest::keyClick(&recorder->button(), Qt::Key_K);
  EXPECT_EQ(shortcut.keyCode, 40u);
  EXPECT_EQ(shortcut.keyLabel, "K");
  EXPECT_FALSE(shortcut.command || shortcut.option || shortcut.control || shortcut.shift);
  startRecording();
  QTest::keyClick(&recorder->button(), Qt::Key_Exclam, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(shortcut.keyCode, 18u);
  EXPECT_EQ(title(), QString::fromUtf8("⌥⇧1"));

  // Modifiers alone keep recording; a key with no characters is named by its code.
  startRecording();
  QTest::keyClick(&recorder->button(), Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_TRUE(recorder->button().isRecording());
  QTest::keyClick(&recorder->button(), Qt::Key_F5, Qt::MetaModifier);
  EXPECT_EQ(shortcut.keyCode, 96u);
  EXPECT_EQ(shortcut.keyLabel, "Key 96");
  EXPECT_TRUE(shortcut.control);
}

}  // namespace
}  // namespace tucklet
