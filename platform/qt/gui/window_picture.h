// What a window's content looks like, for whoever draws the screen: window content drawn by Qt
// offers its picture through this interface beside `platform::WindowContent`.
#pragma once

#include <QImage>

#include <cstdint>

namespace tucklet::platform {

class WindowPicture {
 public:
  virtual ~WindowPicture() = default;
  // The content at `scale` device pixels per point, on a transparent ground (the window's own
  // background is drawn by the platform, a popover's material for instance).
  virtual QImage picture(double scale) = 0;
  // Moves on whenever the picture may have changed, so that a live view knows to draw again.
  virtual std::uint64_t revision() const = 0;
};

}  // namespace tucklet::platform
