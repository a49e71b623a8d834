// The lifetime of an owner of deferred work: timers, main-queue dispatches, observers and the
// results background work hands back. Work wrapped by `guard` does nothing once the lifetime has
// ended, that is once its owner is gone or has said it is finished (Tucklet's termination path
// ends it before it restores the menu bar, so nothing scheduled earlier can hide items again).
//
// One `Lifetime` is shared by every part of an owner: the parts wrap their closures with it and
// may capture themselves by reference, since a wrapped closure never runs after the owner's
// lifetime has ended. Main thread only, like the state the closures touch; a background closure may
// carry a guarded closure to hand back to the main queue, but must not call it there.
#pragma once

#include <memory>
#include <utility>

namespace tucklet::platform {

class Lifetime {
 public:
  // What a closure keeps of the lifetime: enough to tell whether it has ended.
  class Watch {
   public:
    bool ended() const { return !*live_; }

   private:
    friend class Lifetime;
    explicit Watch(std::shared_ptr<const bool> live) : live_(std::move(live)) {}
    std::shared_ptr<const bool> live_;
  };

  Lifetime() = default;
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;
  ~Lifetime() { end(); }

  // From now on guarded work does nothing. Safe to call twice.
  void end() { *live_ = false; }
  bool ended() const { return !*live_; }

  Watch watch() const { return Watch(live_); }

  // `work` (called with any arguments) run only while the lifetime lasts.
  template <typename F>
  auto guard(F work) const {
    return [watch = watch(), work = std::move(work)](auto&&... args) mutable {
      if (!watch.ended()) work(std::forward<decltype(args)>(args)...);
    };
  }

 private:
  std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
};

}  // namespace tucklet::platform
