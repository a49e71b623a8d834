// Draws the simulated screen as a picture, at 2x by default: the wallpaper, ordinary windows, the
// menu bar with the application menus and every status item that is shown, the notch, and open
// menus on top, drawn the way a Mac draws them. This is what a screen capture of the simulated
// desktop returns, and what the live desktop window shows.
//
// Needs a QGuiApplication (fonts); any platform plugin, including "offscreen", will do.
#pragma once

#include <optional>
#include <string>

#include <QFont>
#include <QImage>

#include "platform/sim/desktop.h"

namespace tucklet::sim {

class ScreenRenderer {
 public:
  explicit ScreenRenderer(SimDesktop& desktop, double scale = 2.0)
      : desktop_(desktop), scale_(scale) {}

  // One whole screen (index into the screen list; 0 is the primary screen).
  QImage renderScreen(std::size_t screenIndex = 0) const;
  // The primary screen's menu bar strip.
  QImage renderMenuBar() const;

 private:
  SimDesktop& desktop_;
  double scale_;
};

// The face menus and the bar are set in, at `points` × `scale` pixels.
QFont menuFont(MenuText style, double scale);
// Lets the desktop lay menus out with the widths these fonts really have, so that no title is cut
// off in the pictures. Call once a QGuiApplication exists.
void useRenderedTextWidths(SimDesktop& desktop);
// Writes a PNG file atomically; false with a reason on failure.
bool writePng(const QImage& image, const std::string& path, std::string* error = nullptr);

}  // namespace tucklet::sim
