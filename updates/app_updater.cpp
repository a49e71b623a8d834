#include "updates/app_updater.h"

#include <algorithm>
#include <array>
#include <string_view>

#include <sodium.h>

namespace tucklet {

namespace {

constexpr std::size_t publicKeyBytes = 32;

// Characters that cannot stand in a URL as written.
bool unusableInURL(unsigned char c) {
  static constexpr std::string_view excluded = "\"<>\\^`{|}";
  return c <= 0x20 || c >= 0x7f || excluded.find(static_cast<char>(c)) != std::string_view::npos;
}

// "https://" then an authority with a host (user information and a numeric port allowed).
bool isHttpsURLWithHost(const std::string& text) {
  constexpr std::string_view prefix = "https://";
  if (text.compare(0, prefix.size(), prefix) != 0) return false;
  if (std::any_of(text.begin(), text.end(),
                  [](char c) { return unusableInURL(static_cast<unsigned char>(c)); }))
    return false;
  auto authority = std::string_view(text).substr(prefix.size());
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);
  std::string_view host = authority;
  if (!authority.empty() && authority.front() == '[') {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    authority.remove_prefix(close + 1);
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    authority.remove_prefix(colon == std::string_view::npos ? authority.size() : colon);
  }
  if (!authority.empty()) {  // ":port"
    if (authority.front() != ':') return false;
    const auto port = authority.substr(1);
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
  }
  return !host.empty() && host != "[]";
}

bool isPublicKey(const std::string& text) {
  if (sodium_init() < 0) return false;
  // One byte of room more than a key, so that 33 bytes are seen as 33, not cut to 32.
  std::array<unsigned char, publicKeyBytes + 1> bytes{};
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                        &end, sodium_base64_VARIANT_ORIGINAL) != 0)
    return false;
  return end == text.data() + text.size() && length == publicKeyBytes;
}

std::string keyOf(const std::map<std::string, std::string>& infoKeys, const char* key) {
  const auto it = infoKeys.find(key);
  return it == infoKeys.end() ? std::string() : it->second;
}

}  // namespace

bool AppUpdater::configurationAllows(const std::vector<std::string>& arguments,
                                     const std::map<std::string, std::string>& infoKeys) {
  for (const auto& argument : arguments)
    if (argument == "--smoke-test" || argument == "--ux-review" || argument == "--verify")
      return false;
  return isHttpsURLWithHost(keyOf(infoKeys, "SUFeedURL")) &&
         isPublicKey(keyOf(infoKeys, "SUPublicEDKey"));
}

AppUpdater::AppUpdater(const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& infoKeys,
                       platform::UpdateFramework* framework) {
  if (!framework || !configurationAllows(arguments, infoKeys)) return;
  controller_ = framework->makeStandardUpdaterController(false, this);
  auto& updater = controller_->updater();
  subscriptions_.push_back(
      updater.observeCanCheckForUpdates([this](bool can) { assign(canCheckForUpdates_, can); }));
  subscriptions_.push_back(updater.observeAutomaticallyChecksForUpdates(
      [this](bool automatically) { assign(automaticallyChecksForUpdates_, automatically); }));
  controller_->startUpdater();
  assign(isConfigured_, true);
}

AppUpdater::~AppUpdater() {
  // Whoever listens may be gone already: the session ends without telling anyone.
  quiet_ = true;
  subscriptions_.clear();
  controller_.reset();
}

template <typename T>
void AppUpdater::assign(T& mirror, T value) {
  if (mirror == value) return;
  mirror = std::move(value);
  if (!quiet_) changed.emit();
}

void AppUpdater::checkForUpdates() {
  if (canCheckForUpdates_ && controller_) controller_->checkForUpdates();
}

void AppUpdater::setAutomaticallyChecksForUpdates(bool automatically) {
  if (controller_) controller_->updater().setAutomaticallyChecksForUpdates(automatically);
}

void AppUpdater::stop() {
  subscriptions_.clear();
  // Ending the session tells this object so: the reminder goes.
  controller_.reset();
  assign(canCheckForUpdates_, false);
}

bool AppUpdater::standardUserDriverShouldHandleShowingScheduledUpdate(const platform::UpdateItem&,
                                                                      bool) {
  return false;
}

void AppUpdater::standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                           const platform::UpdateItem& update,
                                                           const platform::UserUpdateState&) {
  if (!handleShowingUpdate)
    assign(availableVersion_, std::optional<std::string>(update.displayVersionString));
}

void AppUpdater::standardUserDriverDidReceiveUserAttention(const platform::UpdateItem&) {
  assign(availableVersion_, std::optional<std::string>());
}

void AppUpdater::standardUserDriverWillFinishUpdateSession() {
  assign(availableVersion_, std::optional<std::string>());
}

}  // namespace tucklet
