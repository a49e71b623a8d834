// Screen pictures of the simulated desktop: what the screen renderer draws, cropped, with the
// pointer drawn on top when asked. Approval is the world's `screenCaptureApproved`; asking for it
// changes nothing (the person running the simulation decides, in the world or a timeline).
#pragma once

#include "platform/screen_capture.h"
#include "platform/sim/desktop.h"

namespace tucklet {

class SimScreenCapture final : public platform::ScreenCapture {
 public:
  SimScreenCapture(sim::SimDesktop& desktop, const platform::WindowServer& windowServer)
      : desktop_(desktop), windowServer_(windowServer) {}

  bool preflight() const override;
  void requestAccess() override {}
  bool capture(int displayNumber, const platform::Rect& source, double scale, bool showsCursor,
               const std::string& pngPath, std::string& error) override;
  bool captureOwnWindow(platform::WindowNumber window, const std::string& pngPath,
                        std::string& error) override;

 private:
  sim::SimDesktop& desktop_;
  const platform::WindowServer& windowServer_;
};

}  // namespace tucklet
