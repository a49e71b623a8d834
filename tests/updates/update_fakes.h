// Stand-ins for the update framework's surroundings: an Ed25519 key pair that signs archives and
// writes appcasts, the session's windows answered by script, and a transport that serves fixed
// answers on a run loop (virtual time).
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sodium.h>

#include "platform/run_loop.h"
#include "platform/updates/transport.h"
#include "platform/updates/update_alerts.h"

namespace tucklet::updatetest {

using platform::updates::UpdateChoice;
using platform::updates::UpdateMessageKind;
using platform::updates::UpdateTransport;

inline std::string base64(const unsigned char* bytes, std::size_t length) {
  std::string text(sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, length, sodium_base64_VARIANT_ORIGINAL);
  text.resize(text.size() - 1);  // the terminating zero
  return text;
}

class SigningKey {
 public:
  SigningKey() {
    if (sodium_init() < 0) std::abort();
    crypto_sign_keypair(public_.data(), secret_.data());
  }
  std::string publicKey() const { return base64(public_.data(), public_.size()); }
  std::string sign(const std::string& data) const {
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                         secret_.data());
    return base64(signature.data(), signature.size());
  }

 private:
  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> public_{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret_{};
};

// One <item> of an appcast.
struct Release {
  std::string version;         // sparkle:version
  std::string displayVersion;  // sparkle:shortVersionString
  std::string archiveURL;
  std::uint64_t length = 0;
  std::string signature;
  std::string notesURL;
};

inline std::string appcast(const std::vector<Release>& releases) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<rss version=\"2.0\" "
      "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
      "<channel><title>Tucklet</title>\n";
  for (const auto& r : releases) {
    xml += "<item><title>Tucklet " + r.displayVersion + "</title>";
    xml += "<sparkle:version>" + r.version + "</sparkle:version>";
    xml += "<sparkle:shortVersionString>" + r.displayVersion + "</sparkle:shortVersionString>";
    if (!r.notesURL.empty())
      xml += "<sparkle:releaseNotesLink>" + r.notesURL + "</sparkle:releaseNotesLink>";
    xml += "<enclosure url=\"" + r.archiveURL + "\" length=\"" + std::to_string(r.length) +
           "\" type=\"application/octet-stream\" sparkle:edSignature=\"" + r.signature + "\"/>";
    xml += "</item>\n";
  }
  return xml + "</channel></rss>\n";
}

// The session's windows, answered by script: an offer gets `choice`, a message is dismissed. The
// answers go through `defer` (later, like a person's).
class ScriptedAlerts final : public platform::updates::UpdateAlerts {
 public:
  struct Message {
    UpdateMessageKind kind;
    std::string title;
    std::string text;
  };

  explicit ScriptedAlerts(std::function<void(std::function<void()>)> defer)
      : defer_(std::move(defer)) {}

  std::optional<UpdateChoice> choice;  // nothing: the offer stays open
  std::vector<platform::updates::UpdateOffer> offers;
  std::vector<Message> messages;
  int checkingShown = 0;
  int progressReports = 0;
  std::uint64_t lastExpected = 0;
  int closed = 0;

  void showChecking(std::function<void()>) override { ++checkingShown; }
  void showUpdateFound(const platform::updates::UpdateOffer& offer,
                       std::function<void(UpdateChoice)> choose) override {
    offers.push_back(offer);
    if (choice) defer_([choose, c = *choice] { choose(c); });
  }
  void showDownloadProgress(const std::string&, std::uint64_t, std::uint64_t expected,
                            std::function<void()>) override {
    ++progressReports;
    lastExpected = expected;
  }
  void showMessage(UpdateMessageKind kind, const std::string& title, const std::string& text,
                   std::function<void()> dismissed) override {
    messages.push_back({kind, title, text});
    defer_(std::move(dismissed));
  }
  void bringToFront() override {}
  void close() override { ++closed; }

 private:
  std::function<void(std::function<void()>)> defer_;
};

// Fixed answers by address, handed back on the run loop's main queue.
class FakeTransport final : public UpdateTransport {
 public:
  explicit FakeTransport(platform::RunLoop& runLoop) : runLoop_(runLoop) {}

  std::map<std::string, Result> answers;  // an address without one fails
  std::vector<std::string> requested;

  std::unique_ptr<Transfer> get(const std::string& url, std::uint64_t, Progress,
                                Completion completion) override {
    requested.push_back(url);
    auto it = answers.find(url);
    Result result = it != answers.end() ? it->second : Result{false, {}, "no such address"};
    auto live = std::make_shared<bool>(true);
    runLoop_.async([live, result, completion] {
      if (*live) completion(result);
    });
    return std::make_unique<Pending>(live);
  }

 private:
  struct Pending final : Transfer {
    explicit Pending(std::shared_ptr<bool> live) : live_(std::move(live)) {}
    ~Pending() override { *live_ = false; }
    std::shared_ptr<bool> live_;
  };
  platform::RunLoop& runLoop_;
};

}  // namespace tucklet::updatetest
