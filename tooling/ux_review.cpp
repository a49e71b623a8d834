#include "tooling/ux_review.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "inventory/ax_reads.h"
#include "inventory/bar_item.h"
#include "inventory/scanner.h"
#include "menubar/item_opener.h"
#include "menubar/items_menu.h"
#include "menubar/status_item.h"
#include "platform/host/atomic_file.h"
#include "preferences/preferences.h"
#include "ui/settings/settings_window.h"
#include "visibility/notice.h"
#include "visibility/visibility_engine.h"

namespace tucklet {
namespace {

constexpr double dragStepInterval = 0.035;
constexpr int dragSteps = 20;
constexpr double probeMessagingTimeout = 0.08;
// The crop: the right-hand 760 x 700 points of the display, from its top.
constexpr double cropWidth = 760;
constexpr double cropHeight = 700;
constexpr double captureScale = 2;

const char* appearanceName(platform::MenuAppearance appearance) {
  switch (appearance) {
    case platform::MenuAppearance::Light:
      return "light";
    case platform::MenuAppearance::Dark:
      return "dark";
    case platform::MenuAppearance::System:
      break;
  }
  return "system";
}

void collectTitles(const platform::MenuRows& rows, nlohmann::json& titles) {
  for (const auto& row : rows)
    if (row.kind != platform::MenuRow::Kind::Separator) titles.push_back(row.title);
}

}  // namespace

nlohmann::json reviewState(const DiagnoseSources& sources) {
  const auto& preferences = sources.preferences;
  const auto& menu = sources.itemsMenu;
  const bool shown = menu.pickerIsShown();
  const auto path = shown ? sources.platform.menus.highlightedPath() : std::vector<std::string>{};
  auto titles = nlohmann::json::array();
  collectTitles(menu.pickerMenu().rows, titles);
  const auto& active = sources.opener.activeItem();
  const auto& toggle = sources.statusItem.item();
  const auto screens = sources.platform.screens.screens();
  const auto settings = settingsWindowEntry(sources);
  nlohmann::json settingsFrame = nlohmann::json::object();
  if (settings) {
    settingsFrame = {{"x", settings->bounds.x},
                     {"y", settings->bounds.y},
                     {"width", settings->bounds.width},
                     {"height", settings->bounds.height}};
  }
  return {
      {"pickerShown", shown},
      {"highlighted", path.empty() ? std::string() : path.back()},
      {"highlightedPath", path},
      {"menuAppearance", appearanceName(menu.pickerMenu().appearance)},
      {"menuTitles", std::move(titles)},
      {"collapsed", sources.engine.collapsed()},
      {"activeItem", active ? displayName(*active, sources.platform.workspace) : std::string()},
      {"activeUIVisible", activeUIVisible(sources)},
      {"settingsVisible",
       sources.settingsWindow.windowCreated() && sources.settingsWindow.windowVisible()},
      {"settingsTab", sources.settingsWindow.settingsTab()},
      {"visibleBundles", preferences.visibleBundles()},
      {"visibleSystemItems", preferences.visibleSystemItems()},
      {"symbol", preferences.symbol()},
      {"showAppNames", preferences.showAppNames()},
      {"latency", sources.opener.latency()},
      {"statusSelected", sources.statusItem.inExpandedSession()},
      {"statusHighlighted", statusHighlighted(sources)},
      {"appRowsHaveSubmenus", appRowsHaveSubmenus(menu)},
      {"message", sources.notice.message().value_or("")},
      {"iconFrame", frameFromTop(toggle ? toggle->buttonScreenFrame() : std::nullopt, screens)},
      {"settingsFrame", std::move(settingsFrame)},
  };
}

UXReview::UXReview(platform::Platform& platform, const platform::Lifetime& lifetime,
                   std::string directory, std::function<nlohmann::json()> state)
    : platform_(platform),
      lifetime_(lifetime),
      directory_(std::move(directory)),
      state_(std::move(state)) {}

void UXReview::start() {
  std::string error;
  platform::makeFolders(directory_, error);  // a folder that cannot be made fails each write
  if (platform_.notifications) {
    observer_ = platform_.notifications->addObserver(
        reviewNotificationName,
        lifetime_.guard([this](const platform::DistributedNotification& notification) {
          const auto json = notification.userInfo.find("json");
          if (json != notification.userInfo.end()) command(json->second);
        }));
  }
  if (platform_.screenCapture && !platform_.screenCapture->preflight()) {
    platform_.screenCapture->requestAccess();
    platform_.workspace.openURL(screenCaptureSettingsURL);
  }
}

platform::Point UXReview::screenPoint(double x, double y) const {
  const auto screens = platform_.screens.screens();
  const double top = screens.empty() ? 0 : screens.front().frame.maxY();
  return {x, top - y};
}

void UXReview::command(const std::string& json) {
  const auto request = ReviewRequest::parse(json);
  if (!request) return;
  if (request->action != "capture") lastInputAt_ = platform_.runLoop.uptime();
  if (request->action == "quit") {
    platform_.application.terminate();
    return;
  }
  if (request->action == "probe-hidden") {
    if (!probeHidden(*request)) return;
  } else if (request->action == "drag") {
    drag(*request);
  } else {
    post(*request);
  }
  platform_.runLoop.asyncAfter(request->delay,
                               lifetime_.guard([this, r = *request] { capture(r); }));
}

void UXReview::post(const Request& request) {
  auto& server = platform_.windowServer;
  platform::InputEvent event;
  event.location = screenPoint(request.x, request.y);
  event.modifiers = request.modifiers();
  const auto pair = [&](platform::EventType down, platform::EventType up) {
    event.type = down;
    server.postEvent(event);
    event.type = up;
    server.postEvent(event);
  };
  if (request.action == "click") {
    pair(platform::EventType::LeftMouseDown, platform::EventType::LeftMouseUp);
  } else if (request.action == "right-click") {
    pair(platform::EventType::RightMouseDown, platform::EventType::RightMouseUp);
  } else if (request.action == "move") {
    event.type = platform::EventType::MouseMoved;
    event.modifiers = 0;
    server.postEvent(event);
  } else if (request.action == "key") {
    event.keyCode = request.code;
    pair(platform::EventType::KeyDown, platform::EventType::KeyUp);
  } else if (request.action == "scroll") {
    event.type = platform::EventType::ScrollWheel;
    event.scrollDeltaY = request.amount;
    server.postEvent(event);
  } else if (request.action == "type") {
    event.keyCode = 0;
    event.modifiers = 0;
    event.characters = request.text;
    pair(platform::EventType::KeyDown, platform::EventType::KeyUp);
  }
}

void UXReview::drag(const Request& request) {
  // Command-drag rearranges the menu bar, which is what a drag there is for; "command": false
  // turns it off.
  std::uint32_t flags =
      request.modifiers() & ~static_cast<std::uint32_t>(platform::ModifierCommand);
  if (request.commandGiven.value_or(true)) flags |= platform::ModifierCommand;
  for (int step = 0; step <= dragSteps; ++step) {
    const double t = static_cast<double>(step) / dragSteps;
    platform::InputEvent event;
    // Weighted so that no step overflows between far-apart finite ends.
    event.location =
        screenPoint((1 - t) * request.x + t * request.toX, (1 - t) * request.y + t * request.toY);
    event.modifiers = flags;
    event.type = step == 0           ? platform::EventType::LeftMouseDown
                 : step == dragSteps ? platform::EventType::LeftMouseUp
                                     : platform::EventType::LeftMouseDragged;
    platform_.runLoop.asyncAfter(step * dragStepInterval, lifetime_.guard([this, event] {
      platform_.windowServer.postEvent(event);
    }));
  }
}

bool UXReview::probeHidden(const Request& request) {
  if (!request.item) return true;  // nothing to probe: only the capture
  if (!request.item->is_string()) return false;
  const auto label = request.item->get<std::string>();
  const auto& ax = platform_.accessibility;
  const auto items = scanMenuBarItems(ax, platform_.workspace);
  const auto item = std::find_if(items.begin(), items.end(), [&](const BarItem& each) {
    return displayName(each, platform_.workspace) == label;
  });
  if (item == items.end()) return false;

  platform::AXElementRef menu;
  for (const auto& child : readChildren(ax, item->element))
    if (readText(ax, child, "AXRole") == "AXMenu") {
      menu = child;
      break;
    }
  const auto menuChildren = menu ? readChildren(ax, menu) : std::vector<platform::AXElementRef>{};
  bool movable = false;
  if (!menuChildren.empty()) ax.isAttributeSettable(menuChildren.front(), "AXPosition", movable);
  auto titles = nlohmann::json::array();
  platform::AXElementRef target = item->element;
  for (const auto& child : menuChildren) {
    const auto title = readText(ax, child, "AXTitle");
    titles.push_back(title);
    if (request.child && title == *request.child && target == item->element) target = child;
  }
  ax.setMessagingTimeout(target, probeMessagingTimeout);
  const auto result = ax.performAction(target, "AXPress");
  probe_ = {{"target", label},
            {"result", static_cast<int>(result)},
            {"menuMovable", movable},
            {"childTitles", std::move(titles)}};
  return true;
}

void UXReview::capture(const Request& request) {
  const auto base = (std::filesystem::path(directory_) / request.name).string();
  const auto screens = platform_.screens.screens();
  const double displayWidth = screens.empty() ? 0 : screens.front().frame.width;
  const platform::Rect source{request.cropX.value_or(std::max(0.0, displayWidth - cropWidth)),
                              request.cropY.value_or(0), request.width.value_or(cropWidth),
                              request.height.value_or(cropHeight)};
  auto* capturer = platform_.screenCapture;
  std::string error = "Screen capture is not available";
  const bool captured =
      capturer && !screens.empty() &&
      capturer->capture(screens.front().number, source, captureScale, true, base + ".png", error);
  nlohmann::json record;
  if (captured) {
    record = {{"ok", true},
              {"name", request.name},
              {"crop", rectText(source)},
              {"hits", barHitTests(platform_.accessibility, screens)},
              {"state", state_ ? state_() : nlohmann::json::object()},
              {"probe", probe_},
              {"inputAt", lastInputAt_},
              {"capturedAt", platform_.runLoop.uptime()}};
  } else {
    if (!screens.empty() && capturer && error.empty()) error = "The capture failed";
    record = {{"ok", false},
              {"name", request.name},
              {"error", error},
              {"screenCaptureApproved", capturer && capturer->preflight()}};
  }
  writeJsonReport(base + ".json", record);
}

}  // namespace tucklet
