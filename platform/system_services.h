// Smaller system services: power sources, the login item, an entry of the system's symbolic hot
// key table, and the application object itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tucklet::platform {

// One power source description, as the power-source service lists them.
struct PowerSourceDescription {
  std::string type;              // "InternalBattery", "UPS", ...
  int currentCapacity = 0;       // in units of `maxCapacity`
  int maxCapacity = 100;
  std::string powerSourceState;  // "AC Power" or "Battery Power"
};

class PowerSources {
 public:
  virtual ~PowerSources() = default;
  virtual std::vector<PowerSourceDescription> powerSources() const = 0;
};

// The main application's login item.
enum class LoginItemStatus { NotRegistered, Enabled, RequiresApproval, NotFound };

class LoginService {
 public:
  virtual ~LoginService() = default;
  virtual LoginItemStatus status() const = 0;
  // False with a localized description of the error when the change failed.
  virtual bool registerMainApp(std::string& error) = 0;
  virtual bool unregisterMainApp(std::string& error) = 0;
  // Opens the system settings page that lists login items.
  virtual void openLoginItemsSettings() = 0;
};

// An entry of the system's symbolic hot key table (the shortcuts the system itself claims), as a
// world describes it; the hot key service (platform/hot_keys.h) hands the table out as property
// lists.
struct SymbolicHotKey {
  int identifier = 0;
  bool enabled = true;
  std::uint32_t keyCode = 0;
  std::uint32_t modifiers = 0;  // Carbon modifier bits: cmd 256, shift 512, option 2048, control 4096
};

enum class ActivationPolicy { Regular, Accessory, Prohibited };

// The application's presentation options, as bits: how the Dock and the menu bar behave while it is
// active.
using PresentationOptions = std::uint32_t;
namespace presentation {
constexpr PresentationOptions autoHideDock = 1u << 0;
constexpr PresentationOptions hideDock = 1u << 1;
constexpr PresentationOptions autoHideMenuBar = 1u << 2;
constexpr PresentationOptions hideMenuBar = 1u << 3;
}  // namespace presentation

// The application object.
class Application {
 public:
  virtual ~Application() = default;
  virtual void setActivationPolicy(ActivationPolicy policy) = 0;
  virtual ActivationPolicy activationPolicy() const = 0;
  virtual void setPresentationOptions(PresentationOptions options) = 0;
  virtual PresentationOptions presentationOptions() const = 0;
  // The system's "Reduce motion" accessibility setting.
  virtual bool reduceMotion() const = 0;
  // Brings this application to the front.
  virtual void activate() = 0;
  // Ends the application: the termination handler runs, then the event loop ends.
  virtual void terminate() = 0;
  // What runs when the application terminates (the delegate's will-terminate step).
  virtual void setTerminationHandler(std::function<void()> handler) = 0;
};

}  // namespace tucklet::platform
