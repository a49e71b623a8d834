// This process's own windows: ordinary windows and popovers hanging under one of its status items.
//
// The product draws a window's content itself (with Qt Widgets, `platform/qt/widgets`); the
// platform places the window, lists it among the on-screen windows, draws it in its place, routes
// the pointer and the keyboard to it, makes it the key window and closes it. A window is closed
// when its handle goes, by `close`, or by the platform (a transient window at a mouse down outside
// it, an ordinary window by the close button of its title bar); `closed` runs on the main queue
// however it closed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/menus.h"
#include "platform/status_bar.h"
#include "platform/window_server.h"

namespace tucklet::platform {

// What fills a window and takes its input. Called on the main thread only.
class WindowContent {
 public:
  virtual ~WindowContent() = default;
  // The size the content wants, in points.
  virtual Size preferredSize() = 0;
  // A mouse event over the content, or one that belongs to a press that began there; `local` is in
  // points from the content's top-left corner, y down.
  virtual void mouseEvent(const InputEvent& event, Point local) = 0;
  // The pointer, with no button held, moved off the content onto something else.
  virtual void mouseExited() {}
  // A key event while the window is the key window.
  virtual void keyEvent(const InputEvent& event) = 0;
  // The window became, or stopped being, the key window.
  virtual void keyChanged(bool isKey) = 0;
  // The appearance the window is drawn in: told when it opens and whenever it changes.
  virtual void appearanceChanged(bool dark) = 0;
};

struct WindowOptions {
  std::string title;
  // A window that follows the system is drawn dark while the system is.
  MenuAppearance appearance = MenuAppearance::System;
  int layer = 0;  // 0 ordinary windows, 3 floating panels
  // Closes at a mouse down outside it (a popover's transient behaviour).
  bool transient = false;
  // No title bar: the content is the whole window.
  bool borderless = false;
};

class WindowHandle {
 public:
  // Closes the window if it is still open (without running `closed`).
  virtual ~WindowHandle() = default;
  virtual WindowNumber number() const = 0;
  virtual bool isOpen() const = 0;
  // The whole window (a popover's arrow included) in screen coordinates; nothing once closed.
  virtual std::optional<Rect> frame() const = 0;
  // The content's frame in screen coordinates; nothing once closed.
  virtual std::optional<Rect> contentFrame() const = 0;
  virtual void close() = 0;
  // Makes it the key window: the keyboard goes to it.
  virtual void makeKey() = 0;
  virtual bool isKey() const = 0;
  // The content wants another size: the window takes it, a popover keeps hanging where it hangs.
  virtual void contentSizeChanged() = 0;
  // Draws the window in another appearance from now on (the content hears of it).
  virtual void setAppearance(MenuAppearance appearance) = 0;
  // Moves and sizes the whole window (screen coordinates); a popover stays where it hangs.
  virtual void setFrame(Rect frame) = 0;
};

class Windows {
 public:
  virtual ~Windows() = default;
  // An ordinary window with its content's top-left corner at `topLeft` (screen coordinates).
  virtual std::unique_ptr<WindowHandle> openWindow(std::shared_ptr<WindowContent> content,
                                                   Point topLeft, const WindowOptions& options,
                                                   std::function<void()> closed) = 0;
  // A popover below the button of `under`, its arrow pointing at the button's middle, kept 4 points
  // inside the visible frame of the button's screen. Nothing when the item has no button on screen.
  virtual std::unique_ptr<WindowHandle> showPopover(std::shared_ptr<WindowContent> content,
                                                    const StatusItemRef& under,
                                                    const WindowOptions& options,
                                                    std::function<void()> closed) = 0;
  // The key window of this process, if any.
  virtual std::optional<WindowNumber> keyWindow() const = 0;
};

}  // namespace tucklet::platform
