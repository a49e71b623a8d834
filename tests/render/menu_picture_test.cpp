// The pop-up menu as the screen pictures show it, in both appearances, and the system symbols.
// Each test leaves its picture in build/pictures/ for a person to look at.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include <cmath>

#include "platform/qt/gui/image_painter.h"
#include "platform/sim/render/screen_renderer.h"
#include "platform/sim/world_loader.h"
#include "platform/system_symbols.h"
#include "platform/virtual_run_loop.h"
#include "tests/render/render_fixture.h"

namespace tucklet::testing {
namespace {

using platform::MenuModel;
using platform::MenuRow;

MenuRow item(const std::string& title, const std::string& symbol = {},
             const std::string& subtitle = {}) {
  MenuRow row;
  row.title = title;
  row.imageName = symbol;
  row.subtitle = subtitle;
  row.action = [] {};
  return row;
}

MenuRow header(const std::string& title) {
  MenuRow row;
  row.kind = MenuRow::Kind::SectionHeader;
  row.title = title;
  return row;
}

// A menu like the one under the Tucklet icon: groups, applications with their icons, the system
// section, a notice, commands, and rows with key equivalents.
MenuModel sampleMenu(platform::MenuAppearance appearance) {
  MenuModel menu;
  menu.title = "tucklet";
  menu.minimumWidth = 270;
  menu.appearance = appearance;
  menu.rows.push_back(header("Work"));
  auto mail = item("Mail Sync", {}, "Synchronizing 3 accounts");
  mail.image = platform::Image::themeIcon("mail-send-receive");
  menu.rows.push_back(mail);
  menu.rows.push_back(MenuRow::separator());
  auto terminal = item("Terminal Helper");
  terminal.image = platform::Image::themeIcon("utilities-terminal");
  menu.rows.push_back(terminal);
  menu.rows.push_back(MenuRow::separator());
  menu.rows.push_back(header("System"));
  menu.rows.push_back(item("Wi-Fi", "wifi"));
  menu.rows.push_back(item("Bluetooth", "antenna.radiowaves.left.and.right"));
  menu.rows.push_back(item("Control Center", "switch.2"));
  menu.rows.push_back(item("Now Playing", "play.rectangle"));
  menu.rows.push_back(item("Something needs attention…", "exclamationmark.triangle"));
  menu.rows.push_back(MenuRow::separator());
  menu.rows.push_back(item("Search Items…"));
  menu.rows.push_back(item("Open Overflow Bar"));
  menu.rows.push_back(item("Hide Menu Bar Items"));
  auto settings = item("Settings…");
  settings.keyEquivalent = ",";
  menu.rows.push_back(settings);
  auto updates = item("Check for Updates…");
  updates.enabled = false;
  menu.rows.push_back(updates);
  menu.rows.push_back(MenuRow::separator());
  auto quit = item("Quit tucklet");
  quit.keyEquivalent = "q";
  menu.rows.push_back(quit);
  return menu;
}

class MenuPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiTestApp();
    desktop = std::make_unique<sim::SimDesktop>(sim::defaultWorld(), loop);
    sim::useRenderedTextWidths(*desktop);
    toggle = desktop->statusBar().createStatusItem(platform::StatusItem::VariableLength);
    toggle->setAutosaveName("QuiverlyToggle");
    toggle->setImage(platform::Image::symbol("tray.full"));
  }

  // Pops the menu up hanging from the icon's right edge, as the items menu is placed, highlights
  // a row with the arrow keys and returns the picture of the screen's top-right corner.
  QImage picture(const MenuModel& menu, int downPresses, const std::string& file) {
    const auto frame = toggle->buttonScreenFrame().value();
    const auto size = desktop->menus().menuSize(menu);
    desktop->menus().popUpAt(menu, {frame.maxX() - size.width, frame.minY() - 2}, toggle, [] {});
    for (int i = 0; i < downPresses; ++i)
      desktop->pressKey(platform::key_code::DownArrow);
    sim::ScreenRenderer renderer(*desktop);
    const auto screen = renderer.renderScreen(0);
    const auto open = desktop->openMenus().at(0);
    const int left = static_cast<int>(std::max(0.0, open.frame.x - 160) * 2);
    const int bottom = static_cast<int>((open.frame.maxY() + 30) * 2);
    const auto corner = screen.copy(left, 0, screen.width() - left, bottom);
    EXPECT_TRUE(sim::writePng(corner, picturePath(file)));
    return screen;
  }

  platform::VirtualRunLoop loop;
  std::unique_ptr<sim::SimDesktop> desktop;
  platform::StatusItemRef toggle;
};

// The rows are drawn where the desktop's hit test finds them: the highlight a pointer or the arrow
// keys put on a row is painted inside that row's frame and nowhere in the rows around it.
TEST_F(MenuPictureTest, RowsAreDrawnWhereTheyAreHit) {
  for (const auto appearance : {platform::MenuAppearance::Light, platform::MenuAppearance::Dark}) {
    const bool dark = appearance == platform::MenuAppearance::Dark;
    const auto screen =
        picture(sampleMenu(appearance), 4, dark ? "menu-dark.png" : "menu-light.png");
    const auto open = desktop->openMenus().at(0);
    ASSERT_EQ(open.highlighted, std::optional<std::size_t>(7))
        << "Mail Sync, Terminal Helper, Wi-Fi, Bluetooth";
    const auto isHighlight = [&](double x, double y) {
      const QColor c = screen.pixelColor(static_cast<int>(std::lround(x * 2)),
                                         static_cast<int>(std::lround(y * 2)));
      return c.blue() > 200 && c.red() < 60 && c.green() < 140;
    };
    const auto& row = open.layout.rows[7];
    // Between the highlight's rounded left end and the row's image.
    const double x = open.frame.x + 10, y = open.frame.y + row.frame.y;
    EXPECT_TRUE(isHighlight(x, y + row.frame.height / 2));
    EXPECT_FALSE(isHighlight(x, y - 4));
    EXPECT_FALSE(isHighlight(x, y + row.frame.height + 4));
    desktop->menus().cancelTracking();
  }
}

// Every system symbol Tucklet names is drawn from a file or a drawing, as a template image in the
// colour asked for; a name the system does not know draws nothing at all.
TEST(SystemSymbolsPicture, EverySymbolDrawsTintedAndUnknownNamesDrawNothing) {
  guiTestApp();
  platform::SystemSymbols symbols;
  const QColor tint(200, 30, 90);
  const auto names = platform::systemSymbolNames();
  QImage sheet(static_cast<int>(names.size()) * 44, 44, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string name(names[i]);
    EXPECT_TRUE(symbols.hasSymbol(name)) << name;
    const auto image = platform::symbolImage(name, 36, tint);
    ASSERT_FALSE(image.isNull()) << name;
    int inked = 0, offTint = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c.alpha() < 128) continue;
        ++inked;
        if (std::abs(c.red() - tint.red()) > 8 || std::abs(c.blue() - tint.blue()) > 8) ++offTint;
      }
    EXPECT_GT(inked, 60) << name << " draws almost nothing";
    EXPECT_EQ(offTint, 0) << name << " is not drawn as a template";
    painter.drawImage(static_cast<int>(i) * 44 + 4, 4, image);
  }
  painter.end();
  EXPECT_TRUE(sim::writePng(sheet, picturePath("symbols.png")));

  for (const std::string unknown : {"", "no.such.symbol", "tucklet.fold", "wifi.slash"}) {
    EXPECT_FALSE(symbols.hasSymbol(unknown)) << unknown;
    EXPECT_TRUE(platform::symbolImage(unknown, 36, tint).isNull()) << unknown;
  }
}

}  // namespace
}  // namespace tucklet::testing
