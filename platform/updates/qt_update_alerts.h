// The update session's windows as Qt Widgets dialogs, laid out like a Mac's software update
// alerts: the application's icon on the left, a bold headline, the text, the release notes, and
// the buttons at the bottom right ("Install" the default). Needs a QApplication.
#pragma once

#include <functional>
#include <memory>

#include "platform/updates/update_alerts.h"

class QWidget;

namespace tucklet::platform::updates {

class QtUpdateAlerts final : public UpdateAlerts {
 public:
  QtUpdateAlerts();
  ~QtUpdateAlerts() override;
  QtUpdateAlerts(const QtUpdateAlerts&) = delete;
  QtUpdateAlerts& operator=(const QtUpdateAlerts&) = delete;

  void showChecking(std::function<void()> cancel) override;
  void showUpdateFound(const UpdateOffer& offer, std::function<void(UpdateChoice)> choose) override;
  void showDownloadProgress(const std::string& title, std::uint64_t received,
                            std::uint64_t expected, std::function<void()> cancel) override;
  void showMessage(UpdateMessageKind kind, const std::string& title, const std::string& text,
                   std::function<void()> dismissed) override;
  void bringToFront() override;
  void close() override;

  // The window on screen, if any (for tests and pictures).
  QWidget* window() const;

 private:
  struct Shown;
  std::unique_ptr<Shown> shown_;
};

}  // namespace tucklet::platform::updates
