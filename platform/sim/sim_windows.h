// This process's own windows on the simulated desktop: ordinary windows and popovers under its
// status items, in the window list with everyone else's, with a key window that takes the
// keyboard, and transient popovers that close at a mouse down outside them.
#pragma once

#include <memory>
#include <optional>

#include "platform/sim/sim_core.h"
#include "platform/windows.h"

namespace tucklet::sim {

class SimWindows final : public platform::Windows {
 public:
  explicit SimWindows(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  std::unique_ptr<platform::WindowHandle> openWindow(
      std::shared_ptr<platform::WindowContent> content, platform::Point topLeft,
      const platform::WindowOptions& options, std::function<void()> closed) override;
  std::unique_ptr<platform::WindowHandle> showPopover(
      std::shared_ptr<platform::WindowContent> content, const platform::StatusItemRef& under,
      const platform::WindowOptions& options, std::function<void()> closed) override;
  std::optional<platform::WindowNumber> keyWindow() const override;

 private:
  std::weak_ptr<SimCore> core_;
};

// Whether an own window is drawn dark: by its own choice, else as the system is.
bool ownWindowDark(const SimState& state, const WindowEntry& window);
// The content's frame inside an own window (window-list coordinates): below a popover's arrow.
Rect ownContentFrame(const WindowEntry& window);
// Where a popover of `contentSize` hangs under an own status item (window-list coordinates), and
// its arrow's middle from the window's left edge; nothing when the item is not on screen.
std::optional<std::pair<Rect, double>> popoverPlacement(const SimState& state,
                                                        std::uint64_t ownItem, Size contentSize);
// What of an own window lies at a window-list point: its title bar's close button, the rest of
// the title bar, or the content (a popover is all content).
enum class OwnWindowPart { CloseButton, TitleBar, Content };
OwnWindowPart ownWindowPart(const SimState& state, platform::WindowNumber window, Point p);
// Closes an own window: it leaves the list and stops being key; `closed` runs on the main queue
// when `notify`.
void closeOwnWindow(SimState& state, Outbox& out, platform::WindowNumber window, bool notify);
// Makes an own window key (0: none); both windows hear of the change.
void setKeyWindow(SimState& state, Outbox& out, platform::WindowNumber window);
// Hands an event to an own window's content on the main queue, at a window-list point.
// The pointer left own window `window` (no button held).
void postMouseExitToWindow(Outbox& out, platform::WindowNumber window);
void postMouseToWindow(const SimState& state, Outbox& out, platform::WindowNumber window,
                       const platform::InputEvent& event, Point windowListPoint);
void postKeyToWindow(Outbox& out, platform::WindowNumber window, const platform::InputEvent& event);
// Tells own windows that follow the system its appearance.
void postSystemAppearance(const SimState& state, Outbox& out);

}  // namespace tucklet::sim
