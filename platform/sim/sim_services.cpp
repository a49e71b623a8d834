#include "platform/sim/sim_services.h"

#include <algorithm>

#include "platform/sim/sim_apps.h"
#include "platform/sim/sim_events.h"
#include "platform/sim/sim_menus.h"
#include "platform/sim/sim_status_bar.h"

namespace tucklet::sim {
namespace {

constexpr platform::EventTargetRef kApplicationTarget{1};

constexpr const char* kLoginItemsSettingsURL =
    "x-apple.systempreferences:com.apple.LoginItems-Settings.extension";

}  // namespace

std::vector<platform::PowerSourceDescription> SimPowerSources::powerSources() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) { return state.world.powerSources; });
}

platform::LoginItemStatus SimLoginService::status() const {
  auto core = core_.lock();
  if (!core) return platform::LoginItemStatus::NotFound;
  return core->read([](const SimState& state) { return state.world.loginItemStatus; });
}

bool SimLoginService::registerMainApp(std::string& error) {
  auto core = core_.lock();
  if (!core) {
    error = "The login item service is not available.";
    return false;
  }
  return core->change([&error](SimState& state, Outbox&) {
    if (state.world.loginError) {
      error = *state.world.loginError;
      return false;
    }
    state.world.loginItemStatus = state.world.loginRequiresApproval
                                      ? platform::LoginItemStatus::RequiresApproval
                                      : platform::LoginItemStatus::Enabled;
    return true;
  });
}

bool SimLoginService::unregisterMainApp(std::string& error) {
  auto core = core_.lock();
  if (!core) {
    error = "The login item service is not available.";
    return false;
  }
  core->change([](SimState& state, Outbox&) {
    state.world.loginItemStatus = platform::LoginItemStatus::NotRegistered;
  });
  return true;
}

void SimLoginService::openLoginItemsSettings() {
  if (auto core = core_.lock())
    core->change(
        [](SimState& state, Outbox&) { state.openedURLs.push_back(kLoginItemsSettingsURL); });
}

platform::EventTargetRef SimHotKeys::applicationEventTarget() {
  return kApplicationTarget;
}

platform::OSStatus SimHotKeys::installEventHandler(platform::EventTargetRef target,
                                                   platform::EventHandlerProc handler,
                                                   std::span<const platform::EventTypeSpec> types,
                                                   void* userData,
                                                   platform::EventHandlerRef* outRef) {
  using namespace platform::event_status;
  if (outRef) *outRef = {};
  if (target != kApplicationTarget || !handler || types.empty()) return paramErr;
  auto core = core_.lock();
  if (!core) return eventInternalErr;
  const auto ref = core->change([&](SimState& state, Outbox&) {
    EventHandlerEntry entry{state.newId(), handler, {types.begin(), types.end()}, userData};
    state.eventHandlers.push_back(std::move(entry));
    return state.eventHandlers.back().ref;
  });
  if (outRef) *outRef = platform::EventHandlerRef{ref};
  return noErr;
}

platform::OSStatus SimHotKeys::removeEventHandler(platform::EventHandlerRef handler) {
  auto core = core_.lock();
  if (!core) return platform::event_status::eventInternalErr;
  const auto removed = core->change([handler](SimState& state, Outbox&) {
    return std::erase_if(state.eventHandlers, [handler](const EventHandlerEntry& entry) {
      return platform::EventHandlerRef{entry.ref} == handler;
    });
  });
  return removed ? platform::event_status::noErr : platform::event_status::paramErr;
}

platform::OSStatus SimHotKeys::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                   platform::EventHotKeyID id,
                                                   platform::EventTargetRef target,
                                                   std::uint32_t options,
                                                   platform::EventHotKeyRef* outRef) {
  using namespace platform::event_status;
  if (outRef) *outRef = {};
  if (target != kApplicationTarget || options != 0) return paramErr;
  auto core = core_.lock();
  if (!core) return eventInternalErr;
  const auto [status, ref] = core->change([=](SimState& state, Outbox&) {
    for (const auto& hotKey : state.hotKeys)
      if (hotKey.keyCode == keyCode && hotKey.modifiers == modifiers)
        return std::pair{eventHotKeyExistsErr, std::uint64_t{0}};
    if (hotKeyHeldByOtherApplication(state, keyCode, modifiers))
      return std::pair{eventHotKeyExistsErr, std::uint64_t{0}};
    state.hotKeys.push_back({state.newId(), keyCode, modifiers, id});
    return std::pair{noErr, state.hotKeys.back().ref};
  });
  if (outRef) *outRef = platform::EventHotKeyRef{ref};
  return status;
}

platform::OSStatus SimHotKeys::unregisterEventHotKey(platform::EventHotKeyRef hotKey) {
  auto core = core_.lock();
  if (!core) return platform::event_status::eventInternalErr;
  const auto removed = core->change([hotKey](SimState& state, Outbox&) {
    return std::erase_if(state.hotKeys, [hotKey](const HotKeyEntry& entry) {
      return platform::EventHotKeyRef{entry.ref} == hotKey;
    });
  });
  return removed ? platform::event_status::noErr : platform::event_status::eventHotKeyInvalidErr;
}

platform::OSStatus SimHotKeys::getEventParameter(platform::EventRef event, std::uint32_t name,
                                                 std::uint32_t desiredType,
                                                 platform::EventHotKeyID* outData) {
  using namespace platform::event_status;
  if (!event || !outData) return paramErr;
  if (name != platform::kEventParamDirectObject || !event->directObject)
    return eventParameterNotFoundErr;
  if (desiredType != platform::typeEventHotKeyID) return coercionFailed;
  *outData = *event->directObject;
  return noErr;
}

platform::OSStatus SimHotKeys::copySymbolicHotKeys(std::optional<platform::PlistValue>* outArray) {
  if (!outArray) return platform::event_status::paramErr;
  *outArray = std::nullopt;
  auto core = core_.lock();
  if (!core) return platform::event_status::eventInternalErr;
  const auto [status, table] = core->read([](const SimState& state) {
    return std::pair{state.world.symbolicHotKeysStatus, state.world.symbolicHotKeys};
  });
  if (status != platform::event_status::noErr) return status;
  platform::PlistArray array;
  for (const auto& entry : table) {
    platform::PlistDict dict;
    dict.emplace(platform::kHISymbolicHotKeyEnabled, entry.enabled);
    dict.emplace(platform::kHISymbolicHotKeyCode, static_cast<std::int64_t>(entry.keyCode));
    dict.emplace(platform::kHISymbolicHotKeyModifiers, static_cast<std::int64_t>(entry.modifiers));
    array.emplace_back(std::move(dict));
  }
  *outArray = platform::PlistValue(std::move(array));
  return platform::event_status::noErr;
}

void SimApplication::setActivationPolicy(platform::ActivationPolicy policy) {
  if (auto core = core_.lock())
    core->change([policy](SimState& state, Outbox&) { state.activationPolicy = policy; });
}

platform::ActivationPolicy SimApplication::activationPolicy() const {
  auto core = core_.lock();
  if (!core) return platform::ActivationPolicy::Regular;
  return core->read([](const SimState& state) { return state.activationPolicy; });
}

void SimApplication::setPresentationOptions(platform::PresentationOptions options) {
  if (auto core = core_.lock())
    core->change([options](SimState& state, Outbox&) { state.presentationOptions = options; });
}

platform::PresentationOptions SimApplication::presentationOptions() const {
  auto core = core_.lock();
  if (!core) return 0;
  return core->read([](const SimState& state) { return state.presentationOptions; });
}

bool SimApplication::reduceMotion() const {
  auto core = core_.lock();
  return core && core->read([](const SimState& state) { return state.world.reduceMotion; });
}

void SimApplication::activate() {
  if (auto core = core_.lock())
    core->change([](SimState& state, Outbox& out) { makeFrontmost(state, out, state.selfPid()); });
}

void SimApplication::terminate() {
  auto core = core_.lock();
  if (!core) return;
  // The handler runs once, synchronously, as the delegate's will-terminate step does.
  auto handler = core->change([](SimState& state, Outbox&) {
    std::shared_ptr<std::function<void()>> run;
    if (!state.terminationHandled) {
      state.terminationHandled = true;
      run = state.terminationHandler;
    }
    return run;
  });
  if (handler && *handler) (*handler)();
  core->change([](SimState& state, Outbox&) { state.terminationRequested = true; });
}

void SimApplication::setTerminationHandler(std::function<void()> handler) {
  auto shared = std::make_shared<std::function<void()>>(std::move(handler));
  if (auto core = core_.lock())
    core->change([&shared](SimState& state, Outbox&) { state.terminationHandler = shared; });
}

void SimMenus::setMainMenu(const platform::MenuModel& menu) {
  if (auto core = core_.lock())
    core->change([&menu](SimState& state, Outbox&) { state.mainMenu = menu; });
}

platform::MenuModel SimMenus::mainMenu() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) { return state.mainMenu; });
}

void SimMenus::popUp(const platform::MenuModel& menu, const platform::StatusItemRef& under,
                     std::function<void()> closed) {
  auto core = core_.lock();
  if (!core) return;
  const auto ownItem = ownItemIdOf(under);
  core->change([&](SimState& state, Outbox& out) {
    openPopUpMenu(state, out, menu, ownItem, std::nullopt, std::move(closed));
  });
}

void SimMenus::popUpAt(const platform::MenuModel& menu, platform::Point topLeft,
                       const platform::StatusItemRef& from, std::function<void()> closed) {
  auto core = core_.lock();
  if (!core) return;
  const auto ownItem = from ? ownItemIdOf(from) : 0;
  core->change([&](SimState& state, Outbox& out) {
    openPopUpMenu(state, out, menu, ownItem, topLeft, std::move(closed));
  });
}

platform::Size SimMenus::menuSize(const platform::MenuModel& menu) const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([&menu](const SimState& state) { return popUpMenuLayout(state, menu).size; });
}

void SimMenus::cancelTracking() {
  if (auto core = core_.lock())
    core->change([](SimState& state, Outbox& out) {
      if (state.menu && state.menu->extra == 0) closeMenu(state, out);
    });
}

bool SimMenus::isTracking() const {
  auto core = core_.lock();
  return core &&
         core->read([](const SimState& state) { return state.menu && state.menu->extra == 0; });
}

std::vector<std::string> SimMenus::highlightedPath() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) -> std::vector<std::string> {
    if (!state.menu || state.menu->extra != 0 || !state.menu->highlighted) return {};
    const auto index = *state.menu->highlighted;
    if (index >= state.menu->rows.size()) return {};
    return {state.menu->rows[index].title};
  });
}

}  // namespace tucklet::sim
