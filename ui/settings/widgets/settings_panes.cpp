// General, Menu Bar Items, Appearance, Setup and About, and the status banner.
#include "ui/settings/widgets/settings_panes.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "inventory/system_control.h"
#include "menubar/fold_image.h"

namespace tucklet::settings_ui {

namespace {

constexpr const char* menuBarSettingsURL =
    "x-apple.systempreferences:com.apple.ControlCenter-Settings.extension";

QWidget* valueLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setProperty("secondary", true);
  return label;
}

QLabel* iconLabel(const QPixmap& pixmap, int points) {
  auto* label = new QLabel;
  label->setFixedSize(points, points);
  label->setPixmap(pixmap);
  return label;
}

// A row holding an icon, a name and a trailing control.
QWidget* iconRow(const QPixmap& icon, int iconPoints, const QString& name, QWidget* trailing,
                 const QString& note = {}, const Theme* theme = nullptr) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 5, 0, 5);
  layout->setSpacing(8);
  layout->addWidget(iconLabel(icon, iconPoints));
  auto* text = new QVBoxLayout;
  text->setSpacing(1);
  text->addWidget(new QLabel(name));
  if (!note.isEmpty() && theme) text->addWidget(caption(*theme, note));
  layout->addLayout(text, 1);
  if (trailing) layout->addWidget(trailing, 0, Qt::AlignRight | Qt::AlignVCenter);
  return row;
}

template <typename T>
std::vector<T> toggled(std::vector<T> list, const T& value, bool on) {
  std::erase(list, value);
  if (on) list.push_back(value);
  return list;
}

void buildGeneral(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  auto* startup = new Section(t, "Startup");
  auto* login = startup->addToggle("Launch tucklet at login", c.loginEnabled && c.loginEnabled(),
                                   [&c](bool on) {
                                     if (c.setLoginItem) c.setLoginItem(on);
                                     c.window.stateChanged();
                                   });
  login->setObjectName("general.login");
  login->setToolTip("Uses macOS Login Items. Nothing is installed as a background daemon.");
  column->addWidget(startup);

  auto* collapsing = new Section(t, "Collapsing");
  collapsing
      ->addToggle("Auto-hide after Show All", prefs.autoCollapse(),
                  [&prefs](bool on) { prefs.setAutoCollapse(on); })
      ->setObjectName("general.autoCollapse");
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setObjectName("general.collapseDelay");
  slider->setAccessibleName("Hide after");
  // Continuous: hundredths of a second.
  slider->setRange(static_cast<int>(settings::minimumCollapseDelay * 100),
                   static_cast<int>(settings::maximumCollapseDelay * 100));
  slider->setValue(
      static_cast<int>(std::lround(settings::clampCollapseDelay(prefs.collapseDelay()) * 100)));
  slider->setMinimumWidth(220);
  auto* seconds = new QLabel(settings::collapseDelayText(prefs.collapseDelay()).c_str());
  seconds->setFixedWidth(50);
  seconds->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QObject::connect(slider, &QSlider::valueChanged, slider, [&prefs, seconds](int value) {
    const double delay = settings::clampCollapseDelay(value / 100.0);
    seconds->setText(settings::collapseDelayText(delay).c_str());
    prefs.setCollapseDelay(delay);
  });
  auto* delayRow = new QWidget;
  auto* delayLayout = new QHBoxLayout(delayRow);
  delayLayout->setContentsMargins(0, 5, 0, 5);
  delayLayout->addWidget(new QLabel("Hide after"), 1);
  delayLayout->addWidget(slider);
  delayLayout->addWidget(seconds);
  delayRow->setEnabled(prefs.autoCollapse());
  collapsing->addRow(delayRow);
  collapsing->addRow(
      caption(t, "Only for Show All. Chosen apps tuck away as soon as their menu closes."));
  column->addWidget(collapsing);

  auto* shortcuts = new Section(t, "Shortcuts");
  shortcuts
      ->addToggle("Option-click to reveal / collapse", prefs.optionClickReveals(),
                  [&prefs](bool on) { prefs.setOptionClickReveals(on); })
      ->setObjectName("general.optionClick");
  shortcuts->addLabeledRow("Right-click tucklet", valueLabel("Open settings"));
  shortcuts->addLabeledRow("↑ ↓ / Return / Escape", valueLabel("Navigate / open / dismiss"));
  column->addWidget(shortcuts);
}

void buildNativeItems(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const double ratio = 2.0;
  // A section with neither header nor rows: its footer alone.
  column->addWidget(
      caption(t, "Switch on an item to keep it visible in the menu bar instead of tucklet."));

  auto* apps = new Section(t, "Apps");
  const auto rows = settings::appRows(c.items ? c.items() : std::vector<BarItem>{},
                                      c.platform.workspace, prefs.visibleBundles());
  for (const auto& row : rows) {
    auto* toggle = new Switch(t);
    toggle->setChecked(row.visible);
    toggle->setAccessibleName(qs(row.name));
    toggle->setObjectName(qs("apps." + row.bundleIdentifier));
    QObject::connect(toggle, &QAbstractButton::toggled, toggle,
                     [&prefs, bundle = row.bundleIdentifier](bool on) {
                       prefs.setVisibleBundles(toggled(prefs.visibleBundles(), bundle, on));
                     });
    QPixmap icon = row.icon ? picture(*row.icon, 20, t.text, ratio) : QPixmap();
    if (icon.isNull()) icon = symbolPicture("app", 20, t.secondary, ratio);
    apps->addRow(iconRow(icon, 20, qs(row.name), toggle));
  }
  if (rows.empty()) apps->addTextRow("No apps with menu bar items right now.", true);
  column->addWidget(apps);

  auto* controls = new Section(t, "System Controls");
  for (const auto& row : settings::controlRows(prefs.visibleSystemItems())) {
    const std::int64_t raw = rawValue(row.control);
    controls
        ->addToggle(qs(row.label), row.visible,
                    [&prefs, raw](bool on) {
                      prefs.setVisibleSystemItems(toggled(prefs.visibleSystemItems(), raw, on));
                    })
        ->setObjectName(qs("controls." + row.label));
  }
  controls->setFooter(
      "Multiple icons from one app move together. System controls must also be enabled in macOS "
      "Menu Bar settings.");
  column->addWidget(controls);

  auto* protectedOnes = new Section(t, "Battery and Date & Time");
  protectedOnes
      ->addToggle("Hide Battery", prefs.hideBattery(),
                  [&prefs](bool on) { prefs.setHideBattery(on); })
      ->setObjectName("items.hideBattery");
  protectedOnes
      ->addToggle("Hide Date & Time", prefs.hideDateTime(),
                  [&prefs](bool on) { prefs.setHideDateTime(on); })
      ->setObjectName("items.hideDateTime");
  protectedOnes->setFooter("Off keeps the item visible in the menu bar. On moves it into tucklet.");
  column->addWidget(protectedOnes);
}

void buildDividerItems(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const double ratio = 2.0;
  auto* explanation = new QLabel(
      "These are the icons left of │. Unchecking only removes an item from the dropdown—it stays "
      "in the collapsed section. Move an icon right of tucklet to keep it visible.");
  explanation->setWordWrap(true);
  column->addWidget(explanation);

  auto* header = new QWidget;
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(0, 0, 0, 0);
  auto* headerText = new QLabel("Include in dropdown");
  headerText->setProperty("header", true);
  headerLayout->addWidget(headerText, 1);
  headerLayout->addWidget(button("Rescan", [&c] {
    if (c.showAll) c.showAll();
  }));
  column->addWidget(header);

  const auto rows = settings::dividerRows(c.items ? c.items() : std::vector<BarItem>{},
                                          c.platform.workspace, prefs.excludedIDs());
  if (rows.empty()) {
    auto* empty = new QWidget;
    empty->setObjectName("emptyState");
    auto* layout = new QVBoxLayout(empty);
    layout->setContentsMargins(0, 40, 0, 40);
    layout->setSpacing(8);
    auto* symbol = iconLabel(symbolPicture("tray", 40, t.secondary, ratio), 40);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* title = new QLabel("No hidden items yet");
    title->setProperty("title", true);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    auto* description = caption(t, "Use Setup to arrange the divider, then rescan.");
    description->setAlignment(Qt::AlignHCenter);
    layout->addWidget(description, 0, Qt::AlignHCenter);
    column->addWidget(empty);
    return;
  }
  auto* list = new Section(t);
  for (const auto& row : rows) {
    auto* toggle = new Switch(t);
    toggle->setChecked(row.included);
    toggle->setAccessibleName(qs(row.name));
    toggle->setObjectName(qs("include." + row.id));
    QObject::connect(toggle, &QAbstractButton::toggled, toggle, [&prefs, id = row.id](bool on) {
      prefs.setExcludedIDs(toggled(prefs.excludedIDs(), id, !on));
    });
    QPixmap icon = row.icon ? picture(*row.icon, 22, t.text, ratio) : QPixmap();
    if (icon.isNull()) icon = symbolPicture("app", 22, t.secondary, ratio);
    list->addRow(iconRow(icon, 22, qs(row.name), toggle,
                         row.protectedControl ? "Protected — move right of the divider" : "", &t));
  }
  column->addWidget(list);
}

void buildAppearance(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const double ratio = 2.0;
  auto* menuBar = new Section(t, "Menu bar");
  auto* symbols = new PopUpButton(t);
  symbols->setObjectName("appearance.symbol");
  symbols->setAccessibleName("tucklet icon");
  symbols->setIconSize(QSize(16, 16));
  for (const auto symbol : allBarSymbols) {
    const auto name = std::string(rawValue(symbol));
    // The fold is a drawing of the status item's own; the others are system symbols.
    QPixmap image;
    if (const auto drawn = statusSymbolImage(name, c.platform.symbols))
      image = picture(*drawn, 16, t.text, ratio);
    symbols->addItem(QIcon(image), qs(std::string(label(symbol))), qs(name));
    if (name == prefs.symbol()) symbols->setCurrentIndex(symbols->count() - 1);
  }
  QObject::connect(symbols, &QComboBox::activated, symbols, [&prefs, symbols](int index) {
    prefs.setSymbol(symbols->itemData(index).toString().toStdString());
  });
  menuBar->addLabeledRow("tucklet icon", symbols);
  menuBar
      ->addToggle("Show item count beside the icon", prefs.showCount(),
                  [&prefs](bool on) { prefs.setShowCount(on); })
      ->setObjectName("appearance.showCount");
  column->addWidget(menuBar);

  auto* menu = new Section(t, "Menu");
  auto* appearance = new PopUpButton(t);
  appearance->setObjectName("appearance.menu");
  appearance->setAccessibleName("Appearance");
  const auto& current = prefs.features().appearance;
  for (const auto& choice : settings::appearanceChoices()) {
    appearance->addItem(qs(choice.label), qs(choice.value));
    if (choice.value == current) appearance->setCurrentIndex(appearance->count() - 1);
  }
  QObject::connect(appearance, &QComboBox::activated, appearance, [&prefs, appearance](int index) {
    auto config = prefs.features();
    config.appearance = appearance->itemData(index).toString().toStdString();
    prefs.setFeatures(std::move(config));
  });
  menu->addLabeledRow("Appearance", appearance);
  menu->addToggle("Sort items alphabetically", prefs.alphabetical(),
                  [&prefs](bool on) { prefs.setAlphabetical(on); })
      ->setObjectName("appearance.alphabetical");
  menu->addToggle("Show item details", prefs.showAppNames(),
                  [&prefs](bool on) { prefs.setShowAppNames(on); })
      ->setObjectName("appearance.details");
  menu->addTextRow(
      "Otherwise items follow their menu bar order. Uses the system menu with macOS appearance and "
      "keyboard navigation.",
      true);
  column->addWidget(menu);
}

QWidget* buttonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 6, 0, 6);
  layout->setSpacing(8);
  for (auto* b : buttons)
    layout->addWidget(b);
  layout->addStretch(1);
  return row;
}

void buildSetup(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  const bool trusted = c.trusted && c.trusted();
  auto* access = new Section(t, "Accessibility");
  access->addTextRow(
      "tucklet uses Accessibility to find menu bar items and open their controls. Screen Recording "
      "isn’t needed for normal use.",
      true);
  access->addRow(buttonRow({button(trusted ? "Open Privacy Settings…" : "Grant access…",
                                   [&c] {
                                     if (c.requestAccess) c.requestAccess();
                                   }),
                            button("Run Setup Again…", [&c] {
                              if (c.startOnboarding) c.startOnboarding();
                            })}));
  column->addWidget(access);

  if (c.nativeVisibility) {
    auto* menuBar = new Section(t, "Menu Bar");
    menuBar->addTextRow(
        "Battery and the clock stay visible by default. You can change this in Menu Bar Items.");
    menuBar->addTextRow(
        "No divider or dragging is needed on this version of macOS. Privacy indicators may remain "
        "visible.");
    column->addWidget(menuBar);
  } else {
    auto* arrange = new Section(t, "Arrange Your Menu Bar");
    arrange->addTextRow(
        "Hold ⌘ and drag the │ divider immediately left of tucklet. Move items you want hidden to "
        "the left of │. Keep battery and date/time on the right.");
    arrange->addRow(buttonRow({button("Reveal and Rescan Icons", [&c] {
      if (c.showAll) c.showAll();
    })}));
    column->addWidget(arrange);
  }

  auto* using_ = new Section(t, "Using tucklet");
  using_->addLabeledRow("Open menu", valueLabel("Click tucklet"));
  using_->addLabeledRow("Show or hide all items", valueLabel("Option-click"));
  using_->addLabeledRow("Open settings", valueLabel("Right-click"));
  using_->addTextRow(
      "Use arrow keys, Return, Escape, or type an item’s name in the menu. Selecting an item "
      "temporarily reveals its app and opens the original menu. Icons from the same app may appear "
      "together.",
      true);
  using_->addTextRow("Quitting tucklet restores your menu bar items.", true);
  column->addWidget(using_);
}

void buildAbout(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  const double ratio = 2.0;
  const auto bundle = c.platform.workspace.mainBundle();
  auto* header = new QWidget;
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(0, 0, 0, 0);
  headerLayout->setSpacing(14);
  QPixmap icon;
  if (const auto image = c.platform.workspace.iconForFile(bundle.path))
    icon = picture(*image, 64, t.text, ratio);
  if (icon.isNull()) icon = symbolPicture("app", 64, t.secondary, ratio);
  headerLayout->addWidget(iconLabel(icon, 64));
  auto* names = new QVBoxLayout;
  names->setSpacing(4);
  auto* name = new QLabel("tucklet");
  name->setProperty("title", true);
  names->addWidget(name);
  const auto version = bundle.infoKeys.find("CFBundleShortVersionString");
  names->addWidget(valueLabel(
      qs("Version " + (version == bundle.infoKeys.end() ? std::string() : version->second))));
  names->addStretch(1);
  headerLayout->addLayout(names, 1);
  column->addWidget(header);

  auto& updates = c.updates;
  auto* updateSection = new Section(t, "Updates");
  auto* automatic = updateSection->addToggle(
      "Automatically check for updates", updates.automaticallyChecksForUpdates(),
      [&updates](bool on) { updates.setAutomaticallyChecksForUpdates(on); });
  automatic->setObjectName("about.automatic");
  automatic->setEnabled(updates.isConfigured());
  const auto available = updates.availableVersion();
  auto* check = button(available ? qs("Update to " + *available) : QString("Check for Updates…"),
                       [&updates] { updates.checkForUpdates(); });
  check->setEnabled(updates.canCheckForUpdates());
  updateSection->addRow(buttonRow({check}));
  updateSection->addRow(caption(
      t, updates.isConfigured()
             ? "With your permission, checks about once a day while tucklet is running. Updates "
               "require your confirmation before installation."
             : "Updates are not configured in this build."));
  column->addWidget(updateSection);

  auto* privacy = new Section(t, "Privacy");
  privacy->addLabeledRow("Preferences", valueLabel("Stored on this Mac"));
  privacy->addLabeledRow("Analytics", valueLabel("None"));
  privacy->addTextRow(
      "Manual checks contact the update server. Automatic checks are opt-in. The server receives "
      "ordinary connection information, including your IP address; no menu bar contents or system "
      "profile are sent.",
      true);
  column->addWidget(privacy);

  auto* compatibility = new Section(t, "Compatibility");
  compatibility->addTextRow(
      "Requires macOS 27 or later on Apple silicon. Intel Macs and older macOS versions are not "
      "supported. tucklet opens menu bar controls through Accessibility; hiding uses a private "
      "visibility API that Apple may change.",
      true);
  compatibility->addTextRow(
      "Items without Accessibility support must be clicked after revealing. Quitting restores "
      "visibility.",
      true);
  compatibility->addRow(buttonRow({button("Open macOS Menu Bar Settings…", [&c] {
    c.platform.workspace.openURL(menuBarSettingsURL);
  })}));
  column->addWidget(compatibility);
}

}  // namespace

void buildPane(const settings::PaneChoice& choice, SettingsContext& context, const Theme& theme,
               QVBoxLayout* column) {
  switch (choice.pane) {
    case settings::Pane::general:
      buildGeneral(context, theme, column);
      break;
    case settings::Pane::items:
      if (context.nativeVisibility)
        buildNativeItems(context, theme, column);
      else
        buildDividerItems(context, theme, column);
      break;
    case settings::Pane::appearance:
      buildAppearance(context, theme, column);
      break;
    case settings::Pane::feature:
      buildFeaturePane(choice.featurePage, context, theme, column);
      break;
    case settings::Pane::setup:
      buildSetup(context, theme, column);
      break;
    case settings::Pane::about:
      buildAbout(context, theme, column);
      break;
  }
}

QWidget* buildBanner(const settings::Banner& state, SettingsContext& c, const Theme& t) {
  const double ratio = 2.0;
  auto* banner = new QWidget;
  banner->setObjectName("banner");
  banner->setAttribute(Qt::WA_StyledBackground);
  banner->setStyleSheet(
      QString("#banner { background: %1; border-top: 1px solid %2; }")
          .arg((t.dark ? QColor(0x2a, 0x2a, 0x2c) : QColor(0xe9, 0xe9, 0xec)).name(),
               t.separator.name()));
  auto* layout = new QVBoxLayout(banner);
  layout->setContentsMargins(20, 10, 20, 16);
  layout->setSpacing(8);
  auto line = [&](const std::string& symbol, const QString& text, bool secondary) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(
        iconLabel(symbolPicture(symbol, 14, secondary ? t.secondary : t.text, ratio), 14));
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    if (secondary) label->setProperty("secondary", true);
    row->addWidget(label, 1);
    layout->addLayout(row);
  };
  if (state.message) line("info.circle", qs(*state.message), false);
  if (state.action == settings::Banner::Action::openAccessSettings) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(
        iconLabel(symbolPicture("exclamationmark.triangle", 14, t.secondary, ratio), 14));
    auto* label = new QLabel("Accessibility permission needed");
    label->setProperty("secondary", true);
    row->addWidget(label);
    row->addStretch(1);
    row->addWidget(button("Open Settings…", [&c] {
      if (c.requestAccess) c.requestAccess();
    }));
    layout->addLayout(row);
  } else if (state.action == settings::Banner::Action::finishSetup) {
    auto* row = new QHBoxLayout;
    row->addWidget(button(
        "Finish Setup",
        [&c] {
          if (c.beginSetup) c.beginSetup();
        },
        "prominent"));
    row->addStretch(1);
    layout->addLayout(row);
  }
  return banner;
}

}  // namespace tucklet::settings_ui
