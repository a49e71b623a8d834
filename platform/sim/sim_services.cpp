#include "platform/sim/sim_services.h"

#include <algorithm>

#include "platform/sim/sim_apps.h"
#include "platform/sim/sim_menus.h"
#include "platform/sim/sim_status_bar.h"

namespace tucklet::sim {
namespace {

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

std::vector<platform::SymbolicHotKey> SimHotKeys::symbolicHotKeys() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) { return state.world.symbolicHotKeys; });
}

int SimHotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                               std::uint32_t signature, std::uint32_t id) {
  auto core = core_.lock();
  if (!core) return -1;
  return core->change([=](SimState& state, Outbox&) {
    for (const auto& hotKey : state.hotKeys)
      if (hotKey.keyCode == keyCode && hotKey.modifiers == modifiers) return kHotKeyExists;
    state.hotKeys.push_back({keyCode, modifiers, signature, id});
    return 0;
  });
}

void SimHotKeys::unregisterHotKey(std::uint32_t signature, std::uint32_t id) {
  if (auto core = core_.lock())
    core->change([=](SimState& state, Outbox&) {
      std::erase_if(state.hotKeys, [=](const HotKeyEntry& hotKey) {
        return hotKey.signature == signature && hotKey.id == id;
      });
    });
}

void SimHotKeys::setHotKeyHandler(std::function<void(std::uint32_t, std::uint32_t)> handler) {
  auto shared =
      handler
          ? std::make_shared<std::function<void(std::uint32_t, std::uint32_t)>>(std::move(handler))
          : nullptr;
  if (auto core = core_.lock())
    core->change([&shared](SimState& state, Outbox&) { state.hotKeyHandler = shared; });
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

}  // namespace tucklet::sim
