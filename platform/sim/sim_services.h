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

class SimHotKeys final : public platform::HotKeys {
 public:
  // The status a registration of a combination this process already holds gets.
  static constexpr int kHotKeyExists = -9878;

  explicit SimHotKeys(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  std::vector<platform::SymbolicHotKey> symbolicHotKeys() const override;
  int registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                     std::uint32_t id) override;
  void unregisterHotKey(std::uint32_t signature, std::uint32_t id) override;
  void setHotKeyHandler(std::function<void(std::uint32_t, std::uint32_t)> handler) override;

 private:
  std::weak_ptr<SimCore> core_;
};

class SimApplication final : public platform::Application {
 public:
  explicit SimApplication(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  void setActivationPolicy(platform::ActivationPolicy policy) override;
  platform::ActivationPolicy activationPolicy() const override;
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

 private:
  std::weak_ptr<SimCore> core_;
};

}  // namespace tucklet::sim
