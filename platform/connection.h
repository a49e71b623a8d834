// Subscriptions to platform notifications and product event streams.
//
// `Signal<Args...>` is a list of handlers; `connect` returns a `Connection` that disconnects when
// it is destroyed or `disconnect`ed, so an owner's subscriptions end with the owner. Emission runs
// every handler synchronously, in connection order, on the emitting thread; a handler may
// disconnect itself or others while it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace tucklet::platform {

class Connection {
 public:
  Connection() = default;
  explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Connection(Connection&& other) noexcept : disconnect_(std::exchange(other.disconnect_, {})) {}
  Connection& operator=(Connection&& other) noexcept {
    if (this != &other) {
      disconnect();
      disconnect_ = std::exchange(other.disconnect_, {});
    }
    return *this;
  }
  ~Connection() { disconnect(); }

  void disconnect() {
    if (auto d = std::exchange(disconnect_, {})) d();
  }
  bool connected() const { return static_cast<bool>(disconnect_); }

 private:
  std::function<void()> disconnect_;
};

template <typename... Args>
class Signal {
 public:
  using Handler = std::function<void(Args...)>;

  Signal() : state_(std::make_shared<State>()) {}
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  [[nodiscard]] Connection connect(Handler handler) {
    std::lock_guard lock(state_->mutex);
    const auto id = ++state_->nextId;
    state_->slots.push_back({id, std::make_shared<Handler>(std::move(handler))});
    std::weak_ptr<State> weak = state_;
    return Connection([weak, id] {
      if (auto s = weak.lock()) {
        std::lock_guard guard(s->mutex);
        std::erase_if(s->slots, [id](const Slot& slot) { return slot.id == id; });
      }
    });
  }

  void emit(Args... args) const {
    std::vector<Slot> snapshot;
    {
      std::lock_guard lock(state_->mutex);
      snapshot = state_->slots;
    }
    for (const auto& slot : snapshot) {
      if (stillConnected(slot.id)) (*slot.handler)(args...);
    }
  }

  std::size_t connectionCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->slots.size();
  }

 private:
  struct Slot {
    std::uint64_t id;
    std::shared_ptr<Handler> handler;
  };
  struct State {
    mutable std::mutex mutex;
    std::vector<Slot> slots;
    std::uint64_t nextId = 0;
  };

  bool stillConnected(std::uint64_t id) const {
    std::lock_guard lock(state_->mutex);
    for (const auto& s : state_->slots)
      if (s.id == id) return true;
    return false;
  }

  std::shared_ptr<State> state_;
};

}  // namespace tucklet::platform
