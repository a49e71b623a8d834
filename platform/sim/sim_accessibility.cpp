#include "platform/sim/sim_accessibility.h"

#include <algorithm>

#include "platform/sim/sim_ax_tree.h"
#include "platform/sim/sim_element.h"
#include "platform/sim/sim_extra_actions.h"
#include "platform/sim/sim_hit_test.h"
#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"

namespace tucklet::sim {
namespace {

using platform::AXError;
using Kind = ElementPath::Kind;

// How a message goes: answered at once with `early` (no trust, a dead element), or after
// `seconds`, possibly only with a time-out.
struct MessagePlan {
  bool early = false;
  AXError earlyError = AXError::Success;
  double seconds = 0;
  bool timesOut = false;
};

double timeoutOf(const SimState& state, const SimElement& element) {
  const double own = element.timeout.load();
  return own > 0 ? own : state.defaultTimeout;
}

// How a message is answered: by reading the state (attribute reads, hit tests), which shares the
// bar's layout with every other read until the state changes, or by changing it (actions,
// registrations).
enum class Answering { Reads, Changes };

// One Accessibility message: checks trust and the element, spends the cost `plan` finds for it,
// then (unless it timed out) answers with `answer` under the lock. The state may change while
// the message travels; the answer reflects the state when it arrives.
template <Answering answering = Answering::Changes, typename Plan, typename Answer>
AXError exchange(SimCore& core, const SimElement& element, Plan&& plan, Answer&& answer) {
  const auto route = core.read([&](const SimState& state) {
    MessagePlan p;
    if (!state.world.accessibilityTrusted) {
      p.early = true;
      p.earlyError = AXError::APIDisabled;
    } else if (!elementExists(state, element.path)) {
      p.early = true;
      p.earlyError = AXError::InvalidUIElement;
    } else {
      const auto [seconds, timesOut] = plan(state, timeoutOf(state, element));
      p.seconds = seconds;
      p.timesOut = timesOut;
    }
    return p;
  });
  core.spendMessage(route.early ? 0.0 : route.seconds);
  if (route.early) return route.earlyError;
  if (route.timesOut) return AXError::CannotComplete;
  if constexpr (answering == Answering::Reads) {
    return core.read([&](const SimState& state) {
      if (!state.world.accessibilityTrusted) return AXError::APIDisabled;
      if (!elementExists(state, element.path)) return AXError::InvalidUIElement;
      return answer(state);
    });
  } else {
    return core.change([&](SimState& state, Outbox& out) {
      if (!state.world.accessibilityTrusted) return AXError::APIDisabled;
      if (!elementExists(state, element.path)) return AXError::InvalidUIElement;
      return answer(state, out);
    });
  }
}

// The cost of a message to the element's own process.
auto costOfElement(const SimElement& element) {
  return [&element](const SimState& state, double timeout) {
    return state.messageCost(element.path.pid, timeout);
  };
}

class SimObserver final : public platform::AXObserver {
 public:
  SimObserver(std::weak_ptr<SimCore> core, std::uint64_t id, pid_t pid)
      : core_(std::move(core)), id_(id), pid_(pid) {}
  ~SimObserver() override {
    if (auto core = core_.lock())
      core->change([this](SimState& state, Outbox&) { state.observers.erase(id_); });
  }

  AXError addNotification(const platform::AXElementRef& element, const std::string& name) override {
    auto core = core_.lock();
    const auto* sim = simElement(element);
    if (!core) return AXError::InvalidUIElementObserver;
    if (!sim || name.empty()) return AXError::IllegalArgument;
    return exchange(*core, *sim, costOfElement(*sim), [&](SimState& state, Outbox&) {
      auto it = state.observers.find(id_);
      if (it == state.observers.end()) return AXError::InvalidUIElementObserver;
      if (sim->path.pid != pid_ || sim->path.kind == Kind::SystemWide)
        return AXError::IllegalArgument;
      auto& registrations = it->second.registrations;
      const std::pair<ElementPath, std::string> entry{sim->path, name};
      if (std::find(registrations.begin(), registrations.end(), entry) != registrations.end())
        return AXError::NotificationAlreadyRegistered;
      registrations.push_back(entry);
      return AXError::Success;
    });
  }

  AXError removeNotification(const platform::AXElementRef& element,
                             const std::string& name) override {
    auto core = core_.lock();
    const auto* sim = simElement(element);
    if (!core) return AXError::InvalidUIElementObserver;
    if (!sim || name.empty()) return AXError::IllegalArgument;
    // Works for elements that are already gone, so that observers can always be taken down.
    return core->change([&](SimState& state, Outbox&) {
      if (!state.world.accessibilityTrusted) return AXError::APIDisabled;
      auto it = state.observers.find(id_);
      if (it == state.observers.end()) return AXError::InvalidUIElementObserver;
      const auto removed = std::erase(it->second.registrations,
                                      std::pair<ElementPath, std::string>{sim->path, name});
      return removed ? AXError::Success : AXError::NotificationNotRegistered;
    });
  }

  void attach() override { setAttached(true); }
  void detach() override { setAttached(false); }

 private:
  void setAttached(bool attached) {
    if (auto core = core_.lock())
      core->change([&](SimState& state, Outbox&) {
        if (auto it = state.observers.find(id_); it != state.observers.end())
          it->second.attached = attached;
      });
  }

  std::weak_ptr<SimCore> core_;
  std::uint64_t id_;
  pid_t pid_;
};

AXError performOn(SimState& state, Outbox& out, const ElementPath& path,
                  const std::string& action) {
  switch (path.kind) {
    case Kind::ExtraItem:
    case Kind::ExtraContainer:
      // The container belongs to the same status item: a press reaches the item either way.
      return performExtraAction(state, out, path.object, action);
    case Kind::OwnItem: {
      if (action != "AXPress") return AXError::ActionUnsupported;
      const auto slots = layOutMenuBar(state);
      platform::InputEvent event;
      event.type = platform::EventType::LeftMouseUp;
      event.targetPid = state.selfPid();
      if (const auto* slot = findOwnSlot(slots, path.object))
        event.location = {slot->frame.midX(), slot->frame.midY()};
      out.post([id = path.object, event](SimCore& core) { core.deliverAction(id, event); });
      return AXError::Success;
    }
    case Kind::MenuRow:
      if (action == "AXCancel") {
        closeMenu(state, out);
        return AXError::Success;
      }
      if (action != "AXPress") return AXError::ActionUnsupported;
      return chooseMenuRow(state, out, {path.index}) ? AXError::Success : AXError::CannotComplete;
    case Kind::Menu:
      if (action != "AXCancel") return AXError::ActionUnsupported;
      closeMenu(state, out);
      return AXError::Success;
    case Kind::Window: {
      if (action != "AXRaise") return AXError::ActionUnsupported;
      auto it = std::find_if(state.windows.begin(), state.windows.end(),
                             [&](const WindowEntry& w) { return w.number == path.object; });
      if (it != state.windows.end()) std::rotate(state.windows.begin(), it, it + 1);
      return AXError::Success;
    }
    default:
      return AXError::ActionUnsupported;
  }
}

}  // namespace

bool SimAccessibility::isProcessTrusted() const {
  auto core = core_.lock();
  return core && core->read([](const SimState& state) { return state.world.accessibilityTrusted; });
}

platform::AXElementRef SimAccessibility::applicationElement(pid_t pid) const {
  auto core = core_.lock();
  if (!core) return makeElement({Kind::Application, pid, 0, 0, 0});
  return makeElement(
      core->read([pid](const SimState& state) { return applicationPath(state, pid); }));
}

platform::AXElementRef SimAccessibility::systemWideElement() const {
  return makeElement(systemWidePath());
}

AXError SimAccessibility::setMessagingTimeout(const platform::AXElementRef& element,
                                              double seconds) const {
  const auto* sim = simElement(element);
  if (!sim || !(seconds >= 0)) return AXError::IllegalArgument;
  if (sim->path.kind != Kind::SystemWide) {
    sim->timeout.store(seconds);
    return AXError::Success;
  }
  if (auto core = core_.lock())
    core->change([seconds](SimState& state, Outbox&) {
      state.defaultTimeout = seconds > 0 ? seconds : kDefaultMessagingTimeout;
    });
  return AXError::Success;
}

AXError SimAccessibility::copyAttributeValue(const platform::AXElementRef& element,
                                             const std::string& attribute,
                                             platform::AXValue& value) const {
  auto core = core_.lock();
  const auto* sim = simElement(element);
  if (!core) return AXError::CannotComplete;
  if (!sim) return AXError::IllegalArgument;
  platform::AXValue result;
  const auto error = exchange<Answering::Reads>(
      *core, *sim, costOfElement(*sim),
      [&](const SimState& state) { return readAttribute(state, sim->path, attribute, result); });
  if (error == AXError::Success) value = std::move(result);
  return error;
}

AXError SimAccessibility::isAttributeSettable(const platform::AXElementRef& element,
                                              const std::string& attribute, bool& settable) const {
  auto core = core_.lock();
  const auto* sim = simElement(element);
  if (!core) return AXError::CannotComplete;
  if (!sim) return AXError::IllegalArgument;
  return exchange<Answering::Reads>(*core, *sim, costOfElement(*sim), [&](const SimState& state) {
    platform::AXValue ignored;
    const auto error = readAttribute(state, sim->path, attribute, ignored);
    if (error != AXError::Success && error != AXError::NoValue) return error;
    // Nothing in the menu bar can be changed from outside.
    settable = false;
    return AXError::Success;
  });
}

AXError SimAccessibility::pid(const platform::AXElementRef& element, pid_t& pid) const {
  const auto* sim = simElement(element);
  if (!sim || sim->path.kind == Kind::SystemWide) return AXError::IllegalArgument;
  pid = sim->path.pid;
  return AXError::Success;
}

AXError SimAccessibility::elementAtPosition(const platform::AXElementRef& root, double x, double y,
                                            platform::AXElementRef& element) const {
  auto core = core_.lock();
  const auto* sim = simElement(root);
  if (!core) return AXError::CannotComplete;
  if (!sim || (sim->path.kind != Kind::SystemWide && sim->path.kind != Kind::Application))
    return AXError::IllegalArgument;
  std::optional<pid_t> only;
  if (sim->path.kind == Kind::Application) only = sim->path.pid;
  const Point point{x, y};
  platform::AXElementRef found;
  const auto error = exchange<Answering::Reads>(
      *core, *sim,
      [&](const SimState& state, double timeout) {
        // The question goes to the process that owns whatever is there.
        const auto hit = hitTest(state, point, only);
        return state.messageCost(only ? *only : hit.pid, timeout);
      },
      [&](const SimState& state) {
        const auto path = elementForHit(state, hitTest(state, point, only));
        if (!path) return AXError::NoValue;
        found = makeElement(*path);
        return AXError::Success;
      });
  if (error == AXError::Success) element = std::move(found);
  return error;
}

AXError SimAccessibility::performAction(const platform::AXElementRef& element,
                                        const std::string& action) const {
  auto core = core_.lock();
  const auto* sim = simElement(element);
  if (!core) return AXError::CannotComplete;
  if (!sim) return AXError::IllegalArgument;
  const bool extra = sim->path.kind == Kind::ExtraItem || sim->path.kind == Kind::ExtraContainer;
  // A slow application that misses the time-out still gets the message: the action happens
  // once the application comes round to it, only the answer is lost.
  double lateBy = -1;
  const auto error = exchange(
      *core, *sim,
      [&](const SimState& state, double timeout) {
        if (extra && extraActionHangs(state, sim->path.object, action))
          return std::pair<double, bool>{timeout, true};
        const auto cost = state.messageCost(sim->path.pid, timeout);
        const auto* app = state.findApp(sim->path.pid);
        if (cost.second && app && !app->app.hung) {
          const double latency =
              app->app.accessibilityLatency.value_or(state.world.accessibilityLatency);
          const bool waited = state.latencyMode == SimDesktop::LatencyMode::Sleep;
          lateBy = std::max(0.0, waited ? latency - timeout : latency);
        }
        return cost;
      },
      [&](SimState& state, Outbox& out) { return performOn(state, out, sim->path, action); });
  if (error == AXError::CannotComplete && lateBy >= 0) {
    core->change([&](SimState&, Outbox& out) {
      out.postAfter(lateBy, [path = sim->path, action](SimCore& c) {
        c.change([&](SimState& state, Outbox& later) {
          if (state.world.accessibilityTrusted && elementExists(state, path))
            performOn(state, later, path, action);
        });
      });
    });
  }
  return error;
}

std::unique_ptr<platform::AXObserver> SimAccessibility::createObserver(
    pid_t pid, platform::AXObserverCallback callback) {
  auto core = core_.lock();
  if (!core) return nullptr;
  auto shared = std::make_shared<platform::AXObserverCallback>(std::move(callback));
  const auto id = core->change([&](SimState& state, Outbox&) {
    const auto newId = state.newId();
    state.observers[newId] = ObserverEntry{pid, shared, false, {}};
    return newId;
  });
  return std::make_unique<SimObserver>(core_, id, pid);
}

}  // namespace tucklet::sim
