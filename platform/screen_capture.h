// Pictures of the screen, as a screen recording permission allows them, and of this process's own
// windows, which need no permission.
#pragma once

#include <string>

#include "platform/geometry.h"
#include "platform/window_server.h"

namespace tucklet::platform {

class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;
  // Whether the user approved screen recording for this process (the pre-flight check).
  virtual bool preflight() const = 0;
  // Asks the user for approval; the answer comes later, if at all.
  virtual void requestAccess() = 0;
  // Captures `source` (points, origin at the top-left of the display with that number) of one
  // display with nothing excluded, at `scale` pixels per point, with or without the cursor, and
  // writes it as a PNG file. False, with a description, without approval or when the display or
  // the file fails.
  virtual bool capture(int displayNumber, const Rect& source, double scale, bool showsCursor,
                       const std::string& pngPath, std::string& error) = 0;
  // Draws this process's front window (its content, as the window itself draws it) into a PNG
  // file at twice its size in points; needs no approval. False, with a description, when no window
  // of this process is shown or the file fails.
  virtual bool captureFrontWindow(const std::string& pngPath, std::string& error) = 0;
};

}  // namespace tucklet::platform
