// How the updater fetches its feed, release notes and archives: HTTPS GET requests whose answers
// arrive on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tucklet::platform::updates {

class UpdateTransport {
 public:
  struct Result {
    bool ok = false;
    std::string body;
    std::string error;  // why it failed, for people ("the server answered 404 Not Found")
  };
  // A request in flight. Destroying it cancels the request: its callbacks do not run afterwards.
  class Transfer {
   public:
    virtual ~Transfer() = default;
  };
  // Bytes received so far and the expected total (0 when the server did not say).
  using Progress = std::function<void(std::uint64_t received, std::uint64_t expected)>;
  using Completion = std::function<void(Result)>;

  virtual ~UpdateTransport() = default;
  // GETs an https address; every redirect must stay on https. An answer longer than `limit`
  // bytes fails. `completion` runs once, later, on the main thread (never inside this call).
  virtual std::unique_ptr<Transfer> get(const std::string& url, std::uint64_t limit,
                                        Progress progress, Completion completion) = 0;
};

}  // namespace tucklet::platform::updates
