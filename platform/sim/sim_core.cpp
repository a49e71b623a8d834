#include "platform/sim/sim_core.h"

#include <sys/prctl.h>

#include <chrono>
#include <thread>

#include "platform/sim/sim_apps.h"
#include "platform/sim/sim_element.h"

namespace tucklet::sim {

void waitExactly(double seconds) {
  using Clock = std::chrono::steady_clock;
  if (!(seconds > 0)) return;
  // Timer slack is a thread's own setting: set once on each thread that waits.
  thread_local const bool withoutSlack = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
  (void)withoutSlack;
  std::this_thread::sleep_until(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds)));
}

SimCore::SimCore(World world, platform::RunLoop& loop) : runLoop(loop) {
  loadWorld(state_, std::move(world));
  // Loading is a change too: nothing derived while it was under way may be reused.
  ++state_.version;
}

void SimCore::commit(Outbox& out) {
  for (auto& work : out.now)
    work(*this);
  for (auto& [delay, work] : out.later) {
    std::weak_ptr<SimCore> weak = weak_from_this();
    auto task = [weak, fn = std::move(work)] {
      if (auto core = weak.lock()) fn(*core);
    };
    if (delay > 0)
      runLoop.asyncAfter(delay, std::move(task));
    else
      runLoop.async(std::move(task));
  }
  out.now.clear();
  out.later.clear();
}

void SimCore::spendMessage(double seconds) {
  SimDesktop::LatencyMode mode;
  {
    std::lock_guard lock(mutex_);
    ++state_.messageCount;
    state_.spentSeconds += seconds;
    mode = state_.latencyMode;
  }
  if (mode == SimDesktop::LatencyMode::Sleep && seconds > 0) waitExactly(seconds);
}

void SimCore::deliverWorkspace(platform::WorkspaceNotification notification, pid_t pid) {
  std::vector<std::shared_ptr<std::function<void(pid_t)>>> handlers;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, entry] : state_.workspaceObservers)
      if (entry.notification == notification) handlers.push_back(entry.handler);
  }
  for (const auto& handler : handlers) {
    // A handler may end a later subscription; it must not run after that.
    bool live = false;
    {
      std::lock_guard lock(mutex_);
      for (const auto& [id, entry] : state_.workspaceObservers)
        if (entry.handler == handler) live = true;
    }
    if (live) (*handler)(pid);
  }
}

void SimCore::deliverAXNotification(std::uint64_t observer, const ElementPath& element,
                                    const std::string& name) {
  std::shared_ptr<platform::AXObserverCallback> callback;
  {
    std::lock_guard lock(mutex_);
    auto it = state_.observers.find(observer);
    if (it == state_.observers.end() || !it->second.attached) return;
    callback = it->second.callback;
  }
  if (callback && *callback) (*callback)(makeElement(element), name);
}

void SimCore::deliverToMonitor(std::uint64_t monitor, const platform::InputEvent& event) {
  std::shared_ptr<std::function<void(const platform::InputEvent&)>> handler;
  {
    std::lock_guard lock(mutex_);
    auto it = state_.monitors.find(monitor);
    if (it == state_.monitors.end()) return;
    handler = it->second.handler;
  }
  if (handler && *handler) (*handler)(event);
}

void SimCore::deliverAction(std::uint64_t ownItem, const platform::InputEvent& event) {
  std::shared_ptr<std::function<void(const platform::InputEvent&)>> action;
  {
    std::lock_guard lock(mutex_);
    auto it = state_.ownItems.find(ownItem);
    if (it == state_.ownItems.end()) return;
    action = it->second.action;
  }
  if (action && *action) (*action)(event);
}

void SimCore::deliverHotKey(platform::EventHotKeyID id) {
  const platform::Event event{platform::kEventClassKeyboard, platform::kEventHotKeyPressed, id};
  std::vector<std::uint64_t> refs;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : state_.eventHandlers)
      for (const auto& type : entry.types)
        if (type.eventClass == event.eventClass && type.eventKind == event.eventKind)
          refs.push_back(entry.ref);
  }
  for (auto it = refs.rbegin(); it != refs.rend(); ++it) {
    // A handler may remove a later one; a removed handler gets nothing.
    platform::EventHandlerProc proc = nullptr;
    void* userData = nullptr;
    {
      std::lock_guard lock(mutex_);
      for (const auto& entry : state_.eventHandlers)
        if (entry.ref == *it) {
          proc = entry.proc;
          userData = entry.userData;
        }
    }
    if (!proc) continue;
    if (proc(&event, userData) != platform::event_status::eventNotHandledErr) return;
  }
}

void SimCore::deliverToWindow(platform::WindowNumber window,
                              const std::function<void(platform::WindowContent&)>& work) {
  std::shared_ptr<platform::WindowContent> content;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : state_.windows)
      if (entry.number == window) content = entry.content;
  }
  if (content) work(*content);
}

void postWorkspace(Outbox& out, platform::WorkspaceNotification notification, pid_t pid) {
  out.post([notification, pid](SimCore& core) { core.deliverWorkspace(notification, pid); });
}

void postAXNotification(const SimState& state, Outbox& out, pid_t pid,
                        const std::vector<ElementPath>& targets, const ElementPath& subject,
                        const std::string& name) {
  for (const auto& [id, observer] : state.observers) {
    if (observer.pid != pid || !observer.attached) continue;
    bool registered = false;
    for (const auto& [element, registeredName] : observer.registrations) {
      if (registeredName != name) continue;
      for (const auto& target : targets)
        if (element == target) registered = true;
    }
    if (!registered) continue;
    out.post(
        [id = id, subject, name](SimCore& core) { core.deliverAXNotification(id, subject, name); });
  }
}

void postToMonitors(const SimState& state, Outbox& out, const platform::InputEvent& event) {
  const bool own = event.targetPid == state.selfPid();
  const auto bit = platform::eventMaskFor(event.type);
  for (const auto& [id, monitor] : state.monitors) {
    if (monitor.global == own || !(monitor.mask & bit)) continue;
    out.post([id = id, event](SimCore& core) { core.deliverToMonitor(id, event); });
  }
}

}  // namespace tucklet::sim
