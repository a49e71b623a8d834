// Screen pictures of the simulated desktop: what the screen renderer draws, cropped, with the
// pointer drawn on top when asked. Approval is the world's `screenCaptureApproved`; asking for it
// changes nothing (the person running the simulation decides, in the world or a timeline).
#pragma once

#include <functional>

#include <QImage>

#include "platform/screen_capture.h"
#include "platform/sim/desktop.h"

namespace tucklet {

class SimScreenCapture final : public platform::ScreenCapture {
 public:
  // `frontWindowPicture` draws this process's front window at 2x; a null image when none shows.
  SimScreenCapture(sim::SimDesktop& desktop, const platform::WindowServer& windowServer,
                   std::function<QImage()> frontWindowPicture)
      : desktop_(desktop),
        windowServer_(windowServer),
        frontWindowPicture_(std::move(frontWindowPicture)) {}

  bool preflight() const override;
  void requestAccess() override {}
  bool capture(int displayNumber, const platform::Rect& source, double scale, bool showsCursor,
               const std::string& pngPath, std::string& error) override;
  bool captureFrontWindow(const std::string& pngPath, std::string& error) override;

 private:
  sim::SimDesktop& desktop_;
  const platform::WindowServer& windowServer_;
  std::function<QImage()> frontWindowPicture_;
};

}  // namespace tucklet
