// The smaller services of the simulated desktop: power sources, the login item, global hot
// keys, the application object and menus.
#pragma once

#include <memory>

#include "platform/menus.h"
#include "platform/sim/sim_core.h"
#include "platform/system_services.h"

namespace tucklet::sim {

class SimPowerSources final : public platform::PowerSources {
 public:
  explicit SimPowerSources(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  std::vector<platform::PowerSourceDescription> powerSources() const override;

 private:
  std::weak_ptr<SimCore> core_;
};

class SimLoginService final : public platform::LoginService {
 public:
  explicit SimLoginService(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  platform::LoginItemStatus status() const override;
  bool registerMainApp(std::string& error) override;
  bool unregisterMainApp(std::string& error) override;
  void openLoginItemsSettings() override;

 private:
  std::weak_ptr<SimCore> core_;
};

// The event manager's hot keys. This process has one event target, the application's; a press
// of a registered combination reaches its handlers on the main queue.
class SimHotKeys final : public platform::HotKeys {
 public:
  explicit SimHotKeys(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  platform::EventTargetRef applicationEventTarget() override;
  platform::OSStatus installEventHandler(platform::EventTargetRef target,
                                         platform::EventHandlerProc handler,
                                         std::span<const platform::EventTypeSpec> types,
                                         void* userData,
                                         platform::EventHandlerRef* outRef) override;
  platform::OSStatus removeEventHandler(platform::EventHandlerRef handler) override;
  platform::OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                         platform::EventHotKeyID id,
                                         platform::EventTargetRef target, std::uint32_t options,
                                         platform::EventHotKeyRef* outRef) override;
  platform::OSStatus unregisterEventHotKey(platform::EventHotKeyRef hotKey) override;
  platform::OSStatus getEventParameter(platform::EventRef event, std::uint32_t name,
                                       std::uint32_t desiredType,
                                       platform::EventHotKeyID* outData) override;
  platform::OSStatus copySymbolicHotKeys(std::optional<platform::PlistValue>* outArray) override;

 private:
  std::weak_ptr<SimCore> core_;
};

class SimApplication final : public platform::Application {
 public:
  explicit SimApplication(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  void setActivationPolicy(platform::ActivationPolicy policy) override;
  platform::ActivationPolicy activationPolicy() const override;
  void setPresentationOptions(platform::PresentationOptions options) override;
  platform::PresentationOptions presentationOptions() const override;
  bool reduceMotion() const override;
  void activate() override;
  void terminate() override;
  void setTerminationHandler(std::function<void()> handler) override;

 private:
  std::weak_ptr<SimCore> core_;
};

class SimMenus final : public platform::Menus {
 public:
  explicit SimMenus(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  void setMainMenu(const platform::MenuModel& menu) override;
  platform::MenuModel mainMenu() const override;
  void popUp(const platform::MenuModel& menu, const platform::StatusItemRef& under,
             std::function<void()> closed) override;
  void popUpAt(const platform::MenuModel& menu, platform::Point topLeft,
               const platform::StatusItemRef& from, std::function<void()> closed) override;
  platform::Size menuSize(const platform::MenuModel& menu) const override;
  void cancelTracking() override;
  bool isTracking() const override;
  // The simulated desktop opens no submenus of pop-up menus: at most one title.
  std::vector<std::string> highlightedPath() const override;

 private:
  std::weak_ptr<SimCore> core_;
};

}  // namespace tucklet::sim
