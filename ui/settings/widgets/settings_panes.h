// The panes of the settings window, built from the stores each time they are shown: General, Menu
// Bar Items, Appearance, Setup and About, the feature panes, and the status banner.
#pragma once

#include <string>

#include <QWidget>

#include "ui/settings/settings_model.h"
#include "ui/settings/settings_window.h"
#include "ui/settings/widgets/form_widgets.h"

class QVBoxLayout;

namespace tucklet::settings_ui {

// Adds the pane's sections to `column`.
void buildPane(const settings::PaneChoice& choice, SettingsContext& context, const Theme& theme,
               QVBoxLayout* column);
// The feature pane for `page` ("groups", "presets", "rules", "shortcuts"; anything else shows
// quick access and quick actions).
void buildFeaturePane(const std::string& page, SettingsContext& context, const Theme& theme,
                      QVBoxLayout* column);
QWidget* buildBanner(const settings::Banner& banner, SettingsContext& context, const Theme& theme);

}  // namespace tucklet::settings_ui
