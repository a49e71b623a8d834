// The item model: recognising system controls, the names and help texts shown for items,
// identities and the two list orders.
#include <gtest/gtest.h>

#include <map>

#include "inventory/bar_item.h"

namespace tucklet {
namespace {

// A workspace that knows only which bundle owns which pid.
class OwnerWorkspace final : public platform::Workspace {
 public:
  std::map<pid_t, std::string> owners;

  std::vector<platform::RunningApplication> runningApplications() const override {
    std::vector<platform::RunningApplication> apps;
    for (const auto& [pid, bundle] : owners)
      apps.push_back(*applicationForPid(pid));
    return apps;
  }
  std::optional<platform::RunningApplication> frontmostApplication() const override { return {}; }
  std::optional<platform::RunningApplication> applicationForPid(pid_t pid) const override {
    auto it = owners.find(pid);
    if (it == owners.end()) return std::nullopt;
    platform::RunningApplication app;
    app.pid = pid;
    app.bundleIdentifier = it->second;
    return app;
  }
  pid_t currentProcessId() const override { return 1; }
  platform::BundleInfo mainBundle() const override { return {}; }
  platform::OperatingSystemVersion operatingSystemVersion() const override { return {27, 0, 0}; }
  bool fileExists(const std::string&) const override { return false; }
  platform::ImageRef iconForFile(const std::string&) const override { return nullptr; }
  bool openURL(const std::string&) override { return false; }
  void revealFile(const std::string&) override {}
  void hideApplication(pid_t) override {}
  platform::Connection observe(platform::WorkspaceNotification,
                               std::function<void(pid_t)>) override {
    return {};
  }
};

BarItem item(std::string identifier, std::string name, std::string appName = "App",
             pid_t pid = 10) {
  BarItem i;
  i.identifier = std::move(identifier);
  i.name = std::move(name);
  i.appName = std::move(appName);
  i.pid = pid;
  return i;
}

class ItemModelTest : public ::testing::Test {
 protected:
  OwnerWorkspace workspace;
  void SetUp() override {
    workspace.owners[10] = "com.example.app";
    workspace.owners[20] = "com.apple.controlcenter";
    workspace.owners[30] = "com.apple.TextInputMenuAgent";
  }
};

TEST_F(ItemModelTest, RecognisesControlsByIdentifierAndName) {
  EXPECT_EQ(systemControl(item("com.apple.menuextra.battery", ""), workspace),
            SystemControl::battery);
  EXPECT_EQ(systemControl(item("com.apple.menuextra.controlcenter", ""), workspace),
            SystemControl::controlCenter);
  // The non-protected rules are case-sensitive: a capital C is not the control centre.
  EXPECT_EQ(systemControl(item("com.apple.menuextra.controlCenter", ""), workspace), std::nullopt);
  // Protected rules ignore case in both identifier and name.
  EXPECT_EQ(systemControl(item("COM.APPLE.MENUEXTRA.CLOCK", ""), workspace), SystemControl::clock);
  EXPECT_EQ(systemControl(item("", "Date AND Time"), workspace), SystemControl::clock);
  EXPECT_EQ(systemControl(item("", "BaTTery"), workspace), SystemControl::battery);
  EXPECT_EQ(systemControl(item("", "Batteries"), workspace), std::nullopt);
  EXPECT_EQ(systemControl(item("com.apple.controlcenter.battery", "Wi-Fi"), workspace),
            SystemControl::battery);
  // The first matching rule wins: "wifi" is tested before "display".
  EXPECT_EQ(systemControl(item("wifi-display", ""), workspace), SystemControl::wifi);
  EXPECT_EQ(systemControl(item("x.display", ""), workspace), SystemControl::displays);
  EXPECT_EQ(systemControl(item("x.volume", ""), workspace), SystemControl::volume);
  EXPECT_EQ(systemControl(item("x.bluetooth", ""), workspace), SystemControl::bluetooth);
}

TEST_F(ItemModelTest, InputMenuIsRecognisedByItsOwnerWhileItRuns) {
  auto input = item("com.apple.menuextra.textinput", "", "Text Input", 30);
  EXPECT_EQ(systemControl(input, workspace), SystemControl::keyboard);
  EXPECT_EQ(displayName(input, workspace), "Input menu");
  workspace.owners.erase(30);  // the process is gone: only the identifier rules remain
  EXPECT_EQ(systemControl(input, workspace), std::nullopt);
}

TEST_F(ItemModelTest, ProtectedControlNeverYieldsOtherControls) {
  EXPECT_EQ(protectedControl("com.apple.menuextra.wifi", "Wi-Fi"), std::nullopt);
  EXPECT_EQ(protectedControl("", "clock"), SystemControl::clock);
  EXPECT_EQ(protectedControl("", "date & time"), SystemControl::clock);
}

TEST_F(ItemModelTest, NamesOfOrdinaryItems) {
  // A title ending in "Icon" shows the application's name and has no detail.
  auto iconItem = item("", "Dropbox Icon", "Dropbox");
  EXPECT_EQ(displayName(iconItem, workspace), "Dropbox");
  EXPECT_EQ(detailName(iconItem, workspace), std::nullopt);
  EXPECT_EQ(helpText(iconItem, workspace), std::nullopt);

  // A title that differs from the application's name.
  auto titled = item("", "Obsidian", "Raycast");
  EXPECT_EQ(displayName(titled, workspace), "Obsidian");
  EXPECT_EQ(detailName(titled, workspace), std::nullopt);
  EXPECT_EQ(helpText(titled, workspace), "Obsidian menu bar control provided by Raycast");

  // A title equal to the application's name has no help text.
  EXPECT_EQ(helpText(item("", "Raycast", "Raycast"), workspace), std::nullopt);

  // "server running" anywhere, in any case, shows the application's name; the title is the detail.
  auto server = item("", "Docker Desktop: Server RUNNING", "Docker");
  EXPECT_EQ(displayName(server, workspace), "Docker");
  EXPECT_EQ(detailName(server, workspace), "Docker Desktop: Server RUNNING");
  EXPECT_EQ(helpText(server, workspace), "Docker Desktop: Server RUNNING");
}

TEST_F(ItemModelTest, NamesAndSymbolsOfSystemItems) {
  auto wifi = item("com.apple.menuextra.wifi", "Wi‑Fi status", "Control Center", 20);
  EXPECT_EQ(displayName(wifi, workspace), "Wi-Fi");
  EXPECT_EQ(symbolName(wifi, workspace), "wifi");
  EXPECT_EQ(detailName(wifi, workspace), std::nullopt);
  EXPECT_EQ(helpText(wifi, workspace), std::nullopt);

  auto nowPlaying = item("com.apple.menuextra.now-playing", "Music", "Control Center", 20);
  EXPECT_EQ(displayName(nowPlaying, workspace), "Now Playing");
  EXPECT_EQ(symbolName(nowPlaying, workspace), "play.rectangle");
  // Owned by a system bundle: no detail and no help even without a control.
  EXPECT_EQ(detailName(nowPlaying, workspace), std::nullopt);
  EXPECT_EQ(helpText(nowPlaying, workspace), std::nullopt);

  EXPECT_EQ(symbolName(item("", "Weather"), workspace), std::nullopt);
}

TEST(SystemControlTest, RawValuesAreFixed) {
  for (int raw = 0; raw <= 8; ++raw) {
    auto control = systemControlFromRaw(raw);
    ASSERT_TRUE(control);
    EXPECT_EQ(rawValue(*control), raw);
    EXPECT_EQ(allSystemControls[static_cast<std::size_t>(raw)], *control);
  }
  EXPECT_EQ(systemControlFromRaw(9), std::nullopt);
  EXPECT_EQ(systemControlFromRaw(-1), std::nullopt);
  EXPECT_EQ(title(SystemControl::clock), "Date & Time");
  EXPECT_EQ(itemDisplayName(SystemControl::keyboard), "Input menu");
  EXPECT_EQ(symbolName(SystemControl::bluetooth), "antenna.radiowaves.left.and.right");
}

TEST(SystemControlTest, BarSymbolsAcceptExactlyTheirRawValues) {
  EXPECT_EQ(barSymbolFromRaw("tucklet.fold"), BarSymbol::fold);
  EXPECT_EQ(barSymbolFromRaw("square.grid.2x2"), BarSymbol::grid);
  EXPECT_EQ(barSymbolFromRaw("Tray.full"), std::nullopt);
  EXPECT_EQ(barSymbolFromRaw(""), std::nullopt);
  EXPECT_EQ(label(BarSymbol::fold), "Quiver");
}

TEST(ItemIdentityTest, OwnerPartPositionsAndRepeats) {
  EXPECT_EQ(baseItemID(std::string("com.b"), 5, "", 0), "com.b:index-0");
  EXPECT_EQ(baseItemID(std::nullopt, 4242, "x", 3), "4242:x");

  std::vector<BarItem> items(4);
  items[0].id = "B:X";
  items[1].id = "B:index-1";
  items[2].id = "B:X";
  items[3].id = "B:X";
  makeIdentitiesUnique(items);
  EXPECT_EQ(items[0].id, "B:X");
  EXPECT_EQ(items[1].id, "B:index-1");
  EXPECT_EQ(items[2].id, "B:X:1");
  EXPECT_EQ(items[3].id, "B:X:2");

  // An item whose own identifier ends like a repeat keeps it; the repeat counts on past it.
  std::vector<BarItem> clash(4);
  clash[0].id = "B:Y";
  clash[1].id = "B:Y";
  clash[2].id = "B:Y:1";
  clash[3].id = "B:Y";
  makeIdentitiesUnique(clash);
  EXPECT_EQ(clash[0].id, "B:Y");
  EXPECT_EQ(clash[1].id, "B:Y:2");
  EXPECT_EQ(clash[2].id, "B:Y:1");
  EXPECT_EQ(clash[3].id, "B:Y:3");
}

TEST_F(ItemModelTest, SortOrders) {
  std::vector<BarItem> items = {item("", "Item 10"), item("", "item 2"), item("", "Alpha"),
                                item("", "Item 2")};
  items[0].frame.x = 50;
  items[1].frame.x = 10;
  items[2].frame.x = 50;  // same x as "Item 10": discovery order decides
  items[3].frame.x = 90;
  auto byX = items;
  sortLeftToRight(byX);
  EXPECT_EQ(byX[0].name, "item 2");
  EXPECT_EQ(byX[1].name, "Item 10");
  EXPECT_EQ(byX[2].name, "Alpha");
  EXPECT_EQ(byX[3].name, "Item 2");

  auto byName = items;
  sortAlphabetically(byName, workspace);
  ASSERT_EQ(byName.size(), 4u);
  EXPECT_EQ(byName[0].name, "Alpha");
  EXPECT_EQ(byName[1].name, "Item 2");  // "Item 2" < "item 2" only by the final tie-break
  EXPECT_EQ(byName[2].name, "item 2");
  EXPECT_EQ(byName[3].name, "Item 10");

  // The order is the given locale's: Swedish puts "Ö" after "Z", German files it with "O".
  std::vector<BarItem> letters = {item("", "Öl"), item("", "Zebra"), item("", "Ofen")};
  sortAlphabetically(letters, workspace, Collation("sv_SE"));
  EXPECT_EQ(letters[0].name + letters[1].name + letters[2].name, "OfenZebraÖl");
  sortAlphabetically(letters, workspace, Collation("de_DE"));
  EXPECT_EQ(letters[0].name + letters[1].name + letters[2].name, "OfenÖlZebra");
}

}  // namespace
}  // namespace tucklet
