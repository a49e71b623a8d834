// The feature panes: groups with the item order, presets, rules, shortcuts, and quick access with
// quick actions. Every control builds the next configuration with feature_editing and assigns it
// whole to the preferences.
#include <cmath>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "features/widgets/shortcut_recorder.h"
#include "ui/settings/feature_editing.h"
#include "ui/settings/widgets/settings_panes.h"

namespace tucklet::settings_ui {

namespace {

using namespace feature_editing;

// Applies an edit to the stored configuration.
template <typename Edit>
auto writer(Preferences& prefs, Edit edit) {
  return [&prefs, edit = std::move(edit)](auto&&... args) {
    prefs.setFeatures(edit(prefs.features(), std::forward<decltype(args)>(args)...));
  };
}

QWidget* buttons(std::initializer_list<QWidget*> list, bool trailing = false) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 6, 0, 6);
  layout->setSpacing(8);
  if (trailing) layout->addStretch(1);
  for (auto* b : list)
    layout->addWidget(b);
  if (!trailing) layout->addStretch(1);
  return row;
}

QLineEdit* textField(const std::string& name, const std::string& text, const QString& label,
                     const QString& prompt, std::function<void(std::string)> edited) {
  auto* field = new QLineEdit(qs(text));
  field->setObjectName(qs(name));
  field->setAccessibleName(label);
  field->setPlaceholderText(prompt);
  field->setMinimumWidth(240);
  // A field without the focus shows its text from the beginning.
  field->setCursorPosition(0);
  QObject::connect(
      field, &QLineEdit::textEdited, field,
      [edited = std::move(edited)](const QString& value) { edited(value.toStdString()); });
  return field;
}

QComboBox* picker(const Theme& t, const std::string& name, const QString& label,
                  const std::vector<settings::Choice>& choices, const std::string& current,
                  std::function<void(std::string)> chosen) {
  auto* box = new PopUpButton(t);
  box->setObjectName(qs(name));
  box->setAccessibleName(label);
  for (const auto& choice : choices) {
    box->addItem(qs(choice.label), qs(choice.value));
    if (choice.value == current) box->setCurrentIndex(box->count() - 1);
  }
  QObject::connect(box, &QComboBox::activated, box, [box, chosen = std::move(chosen)](int index) {
    chosen(box->itemData(index).toString().toStdString());
  });
  return box;
}

QPushButton* symbolButton(const std::string& symbol, const QString& label, const Theme& t,
                          std::function<void()> pressed) {
  auto* b = button({}, std::move(pressed), "symbol");
  b->setIcon(QIcon(symbolPicture(symbol, 12, t.text, 2.0)));
  b->setIconSize(QSize(12, 12));
  b->setToolTip(label);
  b->setAccessibleName(label);
  return b;
}

// A slider over [low, high] in hundredths, writing through `moved`.
QSlider* slider(const std::string& name, const QString& label, double low, double high,
                double value, std::function<void(double)> moved) {
  auto* s = new QSlider(Qt::Horizontal);
  s->setObjectName(qs(name));
  s->setAccessibleName(label);
  s->setRange(static_cast<int>(std::lround(low * 100)), static_cast<int>(std::lround(high * 100)));
  s->setValue(static_cast<int>(std::lround(std::clamp(value, low, high) * 100)));
  s->setMinimumWidth(220);
  QObject::connect(s, &QSlider::valueChanged, s,
                   [moved = std::move(moved)](int v) { moved(v / 100.0); });
  return s;
}

// ---- Groups ----

void buildGroups(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const auto& config = prefs.features();
  const auto& items = c.items ? c.items() : std::vector<BarItem>{};

  auto* groups = new Section(t, "Groups");
  groups->addRow(
      caption(t, "Groups appear as sections in the native menu. Each item belongs to one group."));
  groups->addRow(
      buttons({button("Add Group", [&prefs] { prefs.setFeatures(addGroup(prefs.features())); })}));
  column->addWidget(groups);

  const auto rows = settings::itemRows(items, c.platform.workspace);
  for (const auto& group : config.groups) {
    auto* section = new Section(t);
    const auto id = group.id;
    section->addLabeledRow("Name",
                           textField("group." + id.text() + ".name", group.name, "Name", {},
                                     writer(prefs, [id](FeatureConfiguration f, std::string name) {
                                       return renameGroup(std::move(f), id, std::move(name));
                                     })));
    for (const auto& item : rows) {
      const bool member =
          std::find(group.itemIDs.begin(), group.itemIDs.end(), item.id) != group.itemIDs.end();
      section
          ->addToggle(qs(item.name), member,
                      writer(prefs,
                             [id, itemID = item.id](FeatureConfiguration f, bool on) {
                               return setItemInGroup(std::move(f), id, itemID, on);
                             }))
          ->setObjectName(qs("group." + id.text() + ".item." + item.id));
    }
    section->addRow(buttons({button(
        "Delete Group", [&prefs, id] { prefs.setFeatures(deleteGroup(prefs.features(), id)); },
        "destructive")}));
    column->addWidget(section);
  }

  auto* order = new Section(t, "Item Order and Access");
  order->addRow(
      caption(t,
              "Ordering applies to the menu and overflow bar, not macOS’s icon positions. "
              "Hold ⌘ and drag system menu bar icons to reposition them."));
  const auto ordered = settings::orderedItemRows(items, c.platform.workspace, config);
  std::vector<std::string> orderedIDs;
  for (const auto& row : ordered)
    orderedIDs.push_back(row.id);
  for (const auto& row : ordered) {
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(6);
    layout->addWidget(new QLabel(qs(row.name)), 1);
    auto* include = new Switch(t);
    include->setObjectName(qs("include." + row.id));
    include->setChecked(isIncluded(config, row.id));
    include->setAccessibleName("Include");
    include->setToolTip("Include in menu, search, and overflow bar");
    QObject::connect(include, &QAbstractButton::toggled, include,
                     writer(prefs, [id = row.id](FeatureConfiguration f, bool on) {
                       return setIncluded(std::move(f), id, on);
                     }));
    layout->addWidget(include);
    auto move = [&prefs, orderedIDs, id = row.id](Move direction) {
      return [&prefs, orderedIDs, id, direction] {
        prefs.setFeatures(moveItem(prefs.features(), orderedIDs, id, direction));
      };
    };
    layout->addWidget(symbolButton("chevron.up", "Move earlier", t, move(Move::earlier)));
    layout->addWidget(symbolButton("chevron.down", "Move later", t, move(Move::later)));
    order->addRow(line);
  }
  column->addWidget(order);
}

// ---- Presets ----

void buildPresets(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  auto* intro = new Section(t, "Presets");
  intro->addRow(caption(t,
                        "Save the current app and system-control visibility settings. Applying a "
                        "preset does not move icons or change macOS preferences."));
  intro->addRow(buttons({button("Save Current Visibility", [&prefs] {
    prefs.setFeatures(savePreset(prefs.features(), prefs.captureVisibility({})));
  })}));
  column->addWidget(intro);

  for (const auto& preset : prefs.features().presets) {
    const auto id = preset.id;
    auto* section = new Section(t);
    section->addLabeledRow("Name",
                           textField("preset." + id.text() + ".name", preset.name, "Name", {},
                                     writer(prefs, [id](FeatureConfiguration f, std::string name) {
                                       return renamePreset(std::move(f), id, std::move(name));
                                     })));
    section->addRow(buttons(
        {button("Replace with Current",
                [&prefs, id] {
                  prefs.setFeatures(
                      replacePreset(prefs.features(), id, prefs.captureVisibility({})));
                }),
         button("Apply",
                [&c, id] {
                  for (const auto& p : c.preferences.features().presets) {
                    if (p.id != id) continue;
                    if (c.applyPreset)
                      c.applyPreset(p);
                    else
                      c.preferences.applyPreset(p);
                    return;
                  }
                }),
         button(
             "Delete", [&prefs, id] { prefs.setFeatures(deletePreset(prefs.features(), id)); },
             "destructive")}));
    column->addWidget(section);
  }
}

// ---- Rules ----

QWidget* timeStepper(const std::string& name, const QString& label, std::int64_t minute,
                     const Theme& t, std::function<void(std::int64_t)> changed) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 5, 0, 5);
  layout->setSpacing(6);
  auto* text = new QLabel(label + qs(minuteText(minute)));
  text->setObjectName(qs(name + ".text"));
  layout->addWidget(text, 1);
  auto* down = symbolButton("chevron.down", "Earlier", t,
                            [minute, changed] { changed(stepMinute(minute, -1)); });
  down->setObjectName(qs(name + ".down"));
  auto* up =
      symbolButton("chevron.up", "Later", t, [minute, changed] { changed(stepMinute(minute, 1)); });
  up->setObjectName(qs(name + ".up"));
  layout->addWidget(down);
  layout->addWidget(up);
  return row;
}

void buildRules(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const auto& config = prefs.features();
  auto* intro = new Section(t, "Automatic Rules");
  intro->addRow(caption(t,
                        "The first matching rule applies its preset. When no rules match, the "
                        "previous visibility settings return. Rules never launch apps or request "
                        "capture permission."));
  if (!c.nativeVisibility)
    intro->addTextRow("Automatic visibility requires the native visibility backend on macOS 27.");
  if (config.presets.empty()) intro->addTextRow("Save a preset first.");
  intro->addRow(
      buttons({button("Add Rule", [&prefs] { prefs.setFeatures(addRule(prefs.features())); })}));
  column->addWidget(intro);

  std::vector<settings::Choice> conditions;
  for (const auto condition : allRuleConditions)
    conditions.push_back(
        {std::string(settings::conditionLabel(condition)), std::string(rawValue(condition))});

  for (const auto& rule : config.rules) {
    const auto key = "rule." + rule.id.text();
    // Each control changes its own field of the rule as it is now stored.
    auto edit = [&prefs, id = rule.id](std::function<void(AutomationRule&)> change) {
      for (auto r : prefs.features().rules) {
        if (r.id != id) continue;
        change(r);
        prefs.setFeatures(updateRule(prefs.features(), r));
        return;
      }
    };
    auto* section = new Section(t);
    section
        ->addToggle("Enabled", rule.enabled,
                    [edit](bool on) { edit([on](AutomationRule& r) { r.enabled = on; }); })
        ->setObjectName(qs(key + ".enabled"));
    section->addLabeledRow(
        "When", picker(t, key + ".condition", "When", conditions,
                       std::string(rawValue(rule.condition)), [edit](std::string raw) {
                         const auto condition = ruleConditionFromRaw(raw);
                         if (!condition) return;
                         edit([condition](AutomationRule& r) { r.condition = *condition; });
                       }));
    if (const auto field = settings::argumentField(rule.condition)) {
      section->addLabeledRow(qs(std::string(field->label)),
                             textField(key + ".value", rule.value, qs(std::string(field->label)),
                                       qs(std::string(field->prompt)), [edit](std::string value) {
                                         edit([&value](AutomationRule& r) { r.value = value; });
                                       }));
      if (field->caption) section->addRow(caption(t, qs(std::string(*field->caption))));
    } else if (rule.condition == RuleCondition::timeRange) {
      section->addRow(timeStepper(
          key + ".from", "From ", rule.startMinute, t,
          [edit](std::int64_t m) { edit([m](AutomationRule& r) { r.startMinute = m; }); }));
      section->addRow(timeStepper(
          key + ".until", "Until ", rule.endMinute, t,
          [edit](std::int64_t m) { edit([m](AutomationRule& r) { r.endMinute = m; }); }));
      section->addRow(caption(t, "Local time; ranges may cross midnight."));
    } else if (rule.condition == RuleCondition::powerSource) {
      section->addLabeledRow(
          "Power source", picker(t, key + ".power", "Power source", settings::powerSourceChoices(),
                                 rule.value, [edit](std::string value) {
                                   edit([&value](AutomationRule& r) { r.value = value; });
                                 }));
    }
    section->addLabeledRow(
        "Apply preset",
        picker(t, key + ".preset", "Apply preset", settings::presetChoices(config),
               rule.presetID ? rule.presetID->text() : std::string(), [edit](std::string value) {
                 edit([&value](AutomationRule& r) { r.presetID = Uuid::parse(value); });
               }));
    section->addRow(buttons({button(
        "Delete Rule",
        [&prefs, id = rule.id] { prefs.setFeatures(deleteRule(prefs.features(), id)); },
        "destructive")}));
    column->addWidget(section);
  }
}

// ---- Shortcuts ----

void buildShortcuts(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const auto& config = prefs.features();
  auto* intro = new Section(t, "Keyboard Shortcuts");
  intro->addRow(caption(t,
                        "Click a shortcut to record a key combination. Use Command, Option, or "
                        "Control. No keyboard-monitoring permission is required."));
  intro->addRow(buttons(
      {button("Add Shortcut", [&prefs] { prefs.setFeatures(addShortcut(prefs.features())); })}));
  if (c.shortcutErrors) {
    for (const auto& error : c.shortcutErrors()) {
      auto* line = new QLabel(qs(error));
      line->setWordWrap(true);
      line->setProperty("warning", true);
      intro->addRow(line);
    }
  }
  column->addWidget(intro);

  std::vector<settings::Choice> actions;
  for (const auto action : allShortcutActions)
    actions.push_back({actionLabel(action), std::string(rawValue(action))});
  std::vector<settings::Choice> itemChoices{{"Choose…", ""}};
  for (const auto& row :
       settings::itemRows(c.items ? c.items() : std::vector<BarItem>{}, c.platform.workspace))
    itemChoices.push_back({row.name, row.id});

  for (const auto& shortcut : config.shortcuts) {
    const auto key = "shortcut." + shortcut.id.text();
    auto edit = [&prefs, id = shortcut.id](std::function<void(KeyboardShortcut&)> change) {
      for (auto s : prefs.features().shortcuts) {
        if (s.id != id) continue;
        change(s);
        prefs.setFeatures(updateShortcut(prefs.features(), s));
        return;
      }
    };
    auto* section = new Section(t);
    section->addLabeledRow("Action",
                           picker(t, key + ".action", "Action", actions,
                                  std::string(rawValue(shortcut.action)), [edit](std::string raw) {
                                    const auto action = shortcutActionFromRaw(raw);
                                    if (!action) return;
                                    edit([action](KeyboardShortcut& s) { s.action = *action; });
                                  }));
    auto setTarget = [edit](std::string value) {
      edit([&value](KeyboardShortcut& s) { s.target = value; });
    };
    if (shortcut.action == ShortcutAction::item)
      section->addLabeledRow(
          "Item", picker(t, key + ".item", "Item", itemChoices, shortcut.target, setTarget));
    if (shortcut.action == ShortcutAction::preset)
      section->addLabeledRow("Preset",
                             picker(t, key + ".preset", "Preset", settings::presetChoices(config),
                                    shortcut.target, setTarget));
    auto* recorder =
        new ShortcutRecorder({.get =
                                  [&prefs, id = shortcut.id] {
                                    for (const auto& s : prefs.features().shortcuts)
                                      if (s.id == id) return s;
                                    return KeyboardShortcut{};
                                  },
                              .set =
                                  [edit](const KeyboardShortcut& recorded) {
                                    edit([&recorded](KeyboardShortcut& s) { s = recorded; });
                                  }},
                             c.recordingChanged);
    recorder->button().setObjectName(qs(key + ".recorder"));
    section->addLabeledRow("Shortcut", recorder);
    section->addRow(buttons({button(
        "Delete Shortcut",
        [&prefs, id = shortcut.id] { prefs.setFeatures(deleteShortcut(prefs.features(), id)); },
        "destructive")}));
    column->addWidget(section);
  }
}

// ---- Quick access and quick actions ----

void buildAccess(SettingsContext& c, const Theme& t, QVBoxLayout* column) {
  auto& prefs = c.preferences;
  const auto& config = prefs.features();
  auto set = [&prefs](std::function<void(FeatureConfiguration&)> change) {
    auto f = prefs.features();
    change(f);
    prefs.setFeatures(std::move(f));
  };

  auto* access = new Section(t, "Quick Access");
  access
      ->addToggle(
          "Click opens the overflow bar", config.overflowOnClick,
          [set](bool on) { set([on](FeatureConfiguration& f) { f.overflowOnClick = on; }); })
      ->setObjectName("access.click");
  access
      ->addToggle("Hover over tucklet to open the overflow bar", config.hoverReveal,
                  [set](bool on) { set([on](FeatureConfiguration& f) { f.hoverReveal = on; }); })
      ->setObjectName("access.hover");
  auto* delay = access->addLabeledRow(
      "Hover delay",
      slider("access.hoverDelay", "Hover delay", 0.2, 1.5, config.hoverDelay,
             [set](double v) { set([v](FeatureConfiguration& f) { f.hoverDelay = v; }); }));
  delay->setEnabled(config.hoverReveal);
  access
      ->addToggle("Scroll over tucklet to open / close the overflow bar", config.scrollReveal,
                  [set](bool on) { set([on](FeatureConfiguration& f) { f.scrollReveal = on; }); })
      ->setObjectName("access.scroll");
  access->addLabeledRow(
      "Overflow icon spacing",
      slider("access.spacing", "Overflow icon spacing", 4, 24, config.overflowSpacing,
             [set](double v) { set([v](FeatureConfiguration& f) { f.overflowSpacing = v; }); }));
  access->addRow(caption(t,
                         "Uses app icons and system symbols, not captured menu bar pixels. No "
                         "Screen Recording permission needed. AppKit keeps the panel within the "
                         "current display."));
  auto* overflow = button("Open Overflow Bar", [&c] {
    if (c.showAccessPanel) c.showAccessPanel(false);
  });
  auto* search = button("Open Search", [&c] {
    if (c.showAccessPanel) c.showAccessPanel(true);
  });
  overflow->setEnabled(static_cast<bool>(c.showAccessPanel));
  search->setEnabled(static_cast<bool>(c.showAccessPanel));
  access->addRow(buttons({overflow, search}));
  column->addWidget(access);

  auto* actions = new Section(t, "Quick Actions");
  actions->addRow(
      caption(t,
              "Add website links or Shortcuts URLs to the native menu. Actions run only "
              "when you select them."));
  actions->addRow(buttons(
      {button("Add Action", [&prefs] { prefs.setFeatures(addAction(prefs.features())); })}));
  column->addWidget(actions);

  for (const auto& action : config.actions) {
    const auto key = "action." + action.id.text();
    auto edit = [&prefs, id = action.id](std::function<void(QuickAction&)> change) {
      for (auto a : prefs.features().actions) {
        if (a.id != id) continue;
        change(a);
        prefs.setFeatures(updateAction(prefs.features(), a));
        return;
      }
    };
    auto* section = new Section(t);
    section->addLabeledRow(
        "Name", textField(key + ".name", action.name, "Name", {},
                          [edit](std::string v) { edit([&v](QuickAction& a) { a.name = v; }); }));
    auto* url = textField(key + ".url", action.url, "URL", "https://… or shortcuts://…",
                          [edit](std::string v) { edit([&v](QuickAction& a) { a.url = v; }); });
    url->setProperty("wide", true);  // addresses are long
    section->addLabeledRow("URL", url);
    if (const auto warning = urlWarning(action)) {
      auto* line = caption(t, qs(std::string(*warning)));
      line->setObjectName(qs(key + ".warning"));
      section->addRow(line);
    }
    section->addRow(buttons({button(
        "Delete Action",
        [&prefs, id = action.id] { prefs.setFeatures(deleteAction(prefs.features(), id)); },
        "destructive")}));
    column->addWidget(section);
  }
}

}  // namespace

void buildFeaturePane(const std::string& page, SettingsContext& context, const Theme& theme,
                      QVBoxLayout* column) {
  if (page == "groups")
    buildGroups(context, theme, column);
  else if (page == "presets")
    buildPresets(context, theme, column);
  else if (page == "rules")
    buildRules(context, theme, column);
  else if (page == "shortcuts")
    buildShortcuts(context, theme, column);
  else
    buildAccess(context, theme, column);
}

}  // namespace tucklet::settings_ui
