// The settings window's widgets: the sidebar of tabs, the selected pane under its title, and the
// status banner along the pane's bottom edge. Every control writes straight into the stores the
// context names; whenever the part reports a change the visible pane is built again from the
// stores (keeping the focused field, its cursor and the scroll position), so changes made
// elsewhere show at once.
#pragma once

#include <functional>
#include <memory>

#include <QWidget>

#include "platform/connection.h"
#include "ui/settings/settings_window.h"
#include "ui/settings/widgets/form_widgets.h"

class QLabel;
class QListWidget;
class QScrollArea;
class QVBoxLayout;

namespace tucklet::settings_ui {

class SettingsWindowWidget : public QWidget, public SettingsWindowView {
 public:
  // `dark` tells whether the system shows the dark appearance; read each time the window is drawn
  // anew.
  SettingsWindowWidget(SettingsContext& context, std::function<void()> closed,
                       std::function<bool()> dark = {});
  ~SettingsWindowWidget() override;

  void showAndMakeKey() override;
  void orderOut() override;

  // Builds the sidebar, the pane and the banner again from the stores, now.
  void refresh();
  // The window's content as a person sees it, at `ratio` device pixels per point.
  QImage picture(double ratio = 2.0);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void scheduleRefresh();
  void rebuildSidebar();
  void rebuildPane();
  void rebuildBanner();
  void saveFrame();
  void restoreFrame();

  SettingsContext& context_;
  std::function<void()> closed_;
  std::function<bool()> dark_;
  Theme theme_;
  QListWidget* sidebar_ = nullptr;
  QLabel* title_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QWidget* banner_ = nullptr;
  QVBoxLayout* paneColumn_ = nullptr;
  platform::Connection changed_;
  bool refreshPending_ = false;
  bool restoring_ = false;
  QString lastPane_;  // the tab whose pane is shown
};

// The factory the program hands the controller.
SettingsViewFactory makeSettingsViews(std::function<bool()> dark = {});

}  // namespace tucklet::settings_ui
