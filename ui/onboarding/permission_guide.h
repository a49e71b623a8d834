// The guide panel's content: a small floating card over the System Settings window that says what
// to do ("Turn on tucklet"), with "Check Again", "Cancel" and a tile showing Tucklet's icon to drag
// into the Accessibility list.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "platform/platform.h"

namespace tucklet {

class OnboardingController;

// Tucklet's own icon, to be dragged into the System Settings list.
class AppIconDragView final : public QWidget {
 public:
  AppIconDragView(const platform::ImageRef& icon, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage icon_;
};

class PermissionGuide final : public QWidget {
 public:
  PermissionGuide(OnboardingController& controller, platform::Platform& platform);

  // Shows the controller's state again (the title changes once "Check Again" found no access).
  void refresh();
  QLabel* title() const { return title_; }
  QPushButton* checkAgainButton() const { return checkAgain_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  OnboardingController& controller_;
  QLabel* title_ = nullptr;
  QPushButton* checkAgain_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace tucklet
