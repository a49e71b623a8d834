// The simulated desktop's engine room: the lock, the state, and the delivery of everything the
// state changes produce (notifications, observer callbacks, monitor handlers, status item
// actions) on the main queue of the run loop.
//
// Services and handles hold the core weakly, so a handle that outlives the desktop does nothing,
// and work posted to the run loop is dropped when the desktop is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/run_loop.h"
#include "platform/sim/sim_state.h"

namespace tucklet::sim {

// Waits `seconds` of real time as closely as the machine allows. A simulated message costs what
// the world says it costs on the Mac, not that plus the kernel's timer slack (a 0.2 ms sleep
// otherwise takes 0.27 ms or more here): the thread sleeps without timer slack. What is left is
// the scheduler's wake-up.
void waitExactly(double seconds);

class SimCore : public std::enable_shared_from_this<SimCore> {
 public:
  SimCore(World world, platform::RunLoop& runLoop);
  SimCore(const SimCore&) = delete;
  SimCore& operator=(const SimCore&) = delete;

  platform::RunLoop& runLoop;

  // Reads the state under the lock.
  template <typename F>
  auto read(F&& f) const {
    std::lock_guard lock(mutex_);
    return f(static_cast<const SimState&>(state_));
  }

  // Changes the state under the lock with `f(state, outbox)`, then carries out the outbox.
  template <typename F>
  auto change(F&& f) {
    Outbox out;
    if constexpr (std::is_void_v<std::invoke_result_t<F, SimState&, Outbox&>>) {
      {
        std::lock_guard lock(mutex_);
        Changing changing(state_);
        f(state_, out);
      }
      commit(out);
    } else {
      auto result = [&] {
        std::lock_guard lock(mutex_);
        Changing changing(state_);
        return f(state_, out);
      }();
      commit(out);
      return result;
    }
  }

  // Carries out an outbox; must be called without the lock.
  void commit(Outbox& out);

  // Spends the time an Accessibility message took (waiting with `waitExactly` or only counting,
  // by the latency mode). Called without the lock.
  void spendMessage(double seconds);

  // Main-queue deliveries, posted through an outbox. Each looks its subscriber up again, so a
  // subscription ended in the meantime receives nothing.
  void deliverWorkspace(platform::WorkspaceNotification notification, pid_t pid);
  void deliverAXNotification(std::uint64_t observer, const ElementPath& element,
                             const std::string& name);
  void deliverToMonitor(std::uint64_t monitor, const platform::InputEvent& event);
  void deliverAction(std::uint64_t ownItem, const platform::InputEvent& event);
  // A hot-key-pressed event for `id`, handed to the handlers installed for it, newest first,
  // until one handles it.
  void deliverHotKey(platform::EventHotKeyID id);
  // Hands one of this process's windows' content to `work`, if the window is still open.
  void deliverToWindow(platform::WindowNumber window,
                       const std::function<void(platform::WindowContent&)>& work);

 private:
  // Marks the state as being changed for the length of a change.
  struct Changing {
    SimState& state;
    explicit Changing(SimState& s) : state(s) { state.changing = true; }
    ~Changing() {
      state.changing = false;
      ++state.version;
    }
  };

  mutable std::mutex mutex_;
  SimState state_;
};

// Posting helpers used by state changes (the lock is held).
void postWorkspace(Outbox& out, platform::WorkspaceNotification notification, pid_t pid = 0);
// Notifies attached observers of `pid` registered for `name` on any of `targets`; the callback
// receives `subject`.
void postAXNotification(const SimState& state, Outbox& out, pid_t pid,
                        const std::vector<ElementPath>& targets, const ElementPath& subject,
                        const std::string& name);
// Hands an event delivered to `event.targetPid` to the matching monitors: local ones for this
// process's events, global ones for everyone else's.
void postToMonitors(const SimState& state, Outbox& out, const platform::InputEvent& event);

}  // namespace tucklet::sim
