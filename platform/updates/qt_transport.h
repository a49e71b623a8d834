// The update transport on Qt Network. Needs a QCoreApplication and its event loop; create and use
// it on the main thread.
#pragma once

#include <memory>
#include <string>

#include "platform/updates/transport.h"

class QNetworkAccessManager;

namespace tucklet::platform::updates {

class QtUpdateTransport final : public UpdateTransport {
 public:
  // `extraAuthoritiesPem`: certificates (PEM) this transport trusts as authorities besides the
  // system's, for a test or demo server; no other connection of the process trusts them.
  // `error` says why they could not be read (the transport then trusts only the system's).
  explicit QtUpdateTransport(const std::string& extraAuthoritiesPem, std::string& error);
  QtUpdateTransport();
  ~QtUpdateTransport() override;

  std::unique_ptr<Transfer> get(const std::string& url, std::uint64_t limit, Progress progress,
                                Completion completion) override;

 private:
  struct Trust;
  std::unique_ptr<Trust> trust_;
  std::unique_ptr<QNetworkAccessManager> manager_;  // made on first use
};

}  // namespace tucklet::platform::updates
