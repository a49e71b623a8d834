// The settings window's widgets: the sidebar of tabs, the selected pane under its title, and the
// status banner along the pane's bottom edge. Where the platform shows this process's windows
// (`platform::Windows`) the widget is the content of one of them: listed with the other windows,
// drawn in the screen pictures, driven by the platform's pointer and keyboard; closing it (its
// title bar's close button) drops the platform window and keeps the widget. Elsewhere it is an
// ordinary Qt top-level window. Every control writes straight into the stores the
// context names; whenever the part reports a change the visible pane is built again from the
// stores (keeping the focused field, its cursor and the scroll position), so changes made
// elsewhere show at once.
#pragma once

#include <cstdint>
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

namespace tucklet::platform {
class WindowHandle;
class WindowContent;
}  // namespace tucklet::platform

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
  // The platform window showing the widget while it is shown on the platform; nothing otherwise.
  platform::WindowHandle* hostWindow() const { return host_.get(); }

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
  bool hosted() const;
  // Opens the platform window (at the remembered frame, else centred on the main screen).
  void openHostWindow();
  // Drops the platform window; the widget stays made.
  void dropHostWindow();
  // A picker's entries as a platform menu below it (the window is on the platform).
  void popUpMenu(PopUpButton& picker);

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
  std::shared_ptr<platform::WindowContent> content_;
  std::unique_ptr<platform::WindowHandle> host_;
  std::uint64_t hostSerial_ = 0;
  bool refreshPending_ = false;
  bool restoring_ = false;
  QString lastPane_;  // the tab whose pane is shown
};

// The factory the program hands the controller.
SettingsViewFactory makeSettingsViews(std::function<bool()> dark = {});

}  // namespace tucklet::settings_ui
