#include "platform/updates/standard_updater.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/connection.h"
#include "platform/host/atomic_file.h"
#include "platform/lifetime.h"
#include "platform/updates/appcast.h"
#include "platform/updates/ed25519.h"
#include "platform/updates/versions.h"

namespace tucklet::platform::updates {

namespace {

constexpr std::uint64_t feedLimit = 4u << 20;
constexpr std::uint64_t notesLimit = 1u << 20;
constexpr std::uint64_t archiveLimit = 1ull << 30;
// Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
constexpr double referenceDateOffset = 978307200;
constexpr const char* errorTitle = "Update Error!";
constexpr const char* upToDateTitle = "You\u2019re up to date!";

bool isTruthy(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text == "yes" || text == "true" || text == "1";
}

std::optional<double> numberIn(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// The archive's file name from its address, reduced to characters that are safe in a file name,
// so that no address can place the file anywhere but in the staging folder.
std::string archiveFileName(const std::string& url, const std::string& fallback) {
  auto path = url.substr(0, url.find_first_of("?#"));
  const auto scheme = path.find("://");
  if (scheme != std::string::npos) {
    const auto slash = path.find('/', scheme + 3);
    path = slash == std::string::npos ? std::string() : path.substr(slash);
  }
  std::string name = path.substr(path.find_last_of('/') + 1);
  for (auto& c : name) {
    const bool safe =
        std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == '+';
    if (!safe) c = '_';
  }
  if (name.empty() || name.front() == '.') name = fallback + name;
  return name;
}

class Controller final : public StandardUpdaterController, public Updater {
 public:
  Controller(const StandardUpdaterFramework::Setup& setup, StandardUserDriverDelegate* delegate)
      : setup_(setup), delegate_(delegate), automatic_(initialAutomaticChecks()) {}

  ~Controller() override {
    lifetime_.end();
    if (scheduleTimer_) scheduleTimer_->invalidate();
    // A session in progress ends with the controller: its windows close, its transfer stops.
    if (session_) {
      session_->transfer.reset();
      setup_.alerts.close();
      session_.reset();
      if (delegate_) delegate_->standardUserDriverWillFinishUpdateSession();
    }
  }

  Updater& updater() override { return *this; }

  void startUpdater() override {
    if (started_) return;
    std::string problem;
    if (!configured(problem)) {
      std::fprintf(stderr, "tucklet: the updater cannot start: %s\n", problem.c_str());
      return;
    }
    started_ = true;
    refreshCanCheck();
    scheduleNextCheck();
  }

  void checkForUpdates() override {
    if (!started_) return;
    if (!session_) {
      beginSession(true);
    } else if (session_->phase == Phase::WaitingForAttention) {
      // The update a scheduled check found and the application announced: the user asks for it.
      session_->userInitiated = true;
      if (delegate_) delegate_->standardUserDriverDidReceiveUserAttention(session_->item);
      offer();
    } else {
      setup_.alerts.bringToFront();
    }
  }

  bool canCheckForUpdates() const override { return canCheck_; }
  bool automaticallyChecksForUpdates() const override { return automatic_; }

  void setAutomaticallyChecksForUpdates(bool automatically) override {
    setup_.defaults.setObject(keys::enableAutomaticChecks, automatically);
    if (automatic_ != automatically) {
      automatic_ = automatically;
      automaticChanged_.emit(automatic_);
    }
    scheduleNextCheck();
  }

  Connection observeCanCheckForUpdates(std::function<void(bool)> handler) override {
    handler(canCheck_);
    return canCheckChanged_.connect(std::move(handler));
  }

  Connection observeAutomaticallyChecksForUpdates(std::function<void(bool)> handler) override {
    handler(automatic_);
    return automaticChanged_.connect(std::move(handler));
  }

 private:
  enum class Phase {
    Checking,             // fetching the feed
    WaitingForAttention,  // a scheduled check's find, announced by the application
    LoadingNotes,
    Choosing,  // the update is shown with its choices
    Downloading,
    Concluding,  // the session's last message is shown
  };

  struct Session {
    std::uint64_t id = 0;
    bool userInitiated = false;
    bool seen = false;  // the user has seen a window of this session
    Phase phase = Phase::Checking;
    UpdateItem item;
    std::unique_ptr<UpdateTransport::Transfer> transfer;
  };

  // ---- Configuration ----

  std::string infoKey(const char* key) const {
    const auto it = setup_.bundle.infoKeys.find(key);
    return it == setup_.bundle.infoKeys.end() ? std::string() : it->second;
  }

  bool initialAutomaticChecks() const {
    if (setup_.defaults.objectForKey(keys::enableAutomaticChecks))
      return setup_.defaults.boolForKey(keys::enableAutomaticChecks);
    return isTruthy(infoKey(keys::enableAutomaticChecks));
  }

  bool configured(std::string& problem) const {
    const auto feed = infoKey(keys::feedURL);
    if (feed.rfind("https://", 0) != 0 || feed.size() == 8) {
      problem = "the bundle's SUFeedURL is not an https address";
      return false;
    }
    if (!decodePublicKey(infoKey(keys::publicEDKey))) {
      problem = "the bundle's SUPublicEDKey is not a Base64 Ed25519 public key";
      return false;
    }
    return true;
  }

  std::string appName() const {
    const auto name = infoKey("CFBundleName");
    return name.empty() ? "Tucklet" : name;
  }
  std::string currentDisplayVersion() const {
    const auto version = infoKey("CFBundleShortVersionString");
    return version.empty() ? currentVersion() : version;
  }
  std::string currentVersion() const {
    for (const char* key : {"CFBundleVersion", "CFBundleShortVersionString"})
      if (auto version = infoKey(key); !version.empty()) return version;
    return "0";
  }

  // ---- Schedule ----

  double checkInterval() const {
    const auto configuredInterval = numberIn(infoKey(keys::scheduledCheckInterval));
    return std::max(StandardUpdaterFramework::minimumCheckInterval,
                    configuredInterval.value_or(StandardUpdaterFramework::defaultCheckInterval));
  }

  std::optional<double> lastCheckTime() const {
    const auto value = setup_.defaults.objectForKey(keys::lastCheckTime);
    // A damaged file can hold a date that is not a number; that is no check at all.
    if (!value || !value->isDate() || !std::isfinite(value->asDate().secondsSinceReferenceDate))
      return std::nullopt;
    return value->asDate().secondsSinceReferenceDate + referenceDateOffset;
  }

  void scheduleNextCheck() {
    if (scheduleTimer_) scheduleTimer_->invalidate();
    scheduleTimer_.reset();
    if (!started_ || !automatic_ || session_) return;
    const double interval = checkInterval();
    double delay = 0;
    if (const auto last = lastCheckTime())
      delay = std::clamp(*last + interval - setup_.runLoop.wallClock(), 0.0, interval);
    delay = std::max(delay, StandardUpdaterFramework::startDelay);
    scheduleTimer_ =
        setup_.runLoop.scheduleTimer(delay, false, TimerMode::Default, lifetime_.guard([this] {
          scheduleTimer_.reset();
          if (!session_) beginSession(false);
        }));
  }

  void refreshCanCheck() {
    const bool can = started_ && (!session_ || session_->phase == Phase::WaitingForAttention);
    if (can == canCheck_) return;
    canCheck_ = can;
    canCheckChanged_.emit(canCheck_);
  }

  // ---- Session ----

  // `work` for this session only: it does nothing once the session has ended.
  template <typename F>
  auto forSession(F work) {
    return lifetime_.guard(
        [this, id = session_->id, work = std::move(work)](auto&&... args) mutable {
          if (session_ && session_->id == id) work(std::forward<decltype(args)>(args)...);
        });
  }

  void beginSession(bool userInitiated) {
    if (scheduleTimer_) scheduleTimer_->invalidate();
    scheduleTimer_.reset();
    session_ = std::make_unique<Session>();
    session_->id = ++sessions_;
    session_->userInitiated = userInitiated;
    setup_.defaults.setObject(keys::lastCheckTime,
                              PlistDate{setup_.runLoop.wallClock() - referenceDateOffset});
    refreshCanCheck();
    if (userInitiated) {
      session_->seen = true;
      setup_.alerts.showChecking(forSession([this] { finishSession(); }));
    }
    session_->transfer = setup_.transport.get(
        infoKey(keys::feedURL), feedLimit, {},
        forSession([this](UpdateTransport::Result result) { feedArrived(std::move(result)); }));
  }

  void feedArrived(UpdateTransport::Result result) {
    session_->transfer.reset();
    if (!result.ok) return fail(appName() + " could not check for updates: " + result.error + ".");
    auto parsed = parseAppcast(result.body);
    if (const auto* problem = std::get_if<std::string>(&parsed))
      return fail("The update feed is not a valid RSS feed: " + *problem + ".");
    const auto& items = std::get<Appcast>(parsed).items;

    const auto current = currentVersion();
    const auto skipped = setup_.defaults.stringForKey(keys::skippedVersion);
    const UpdateItem* newest = nullptr;
    const UpdateItem* best = nullptr;
    for (const auto& item : items) {
      if (!newest || compareVersions(item.versionString, newest->versionString) > 0) newest = &item;
      if (compareVersions(item.versionString, current) <= 0) continue;
      if (!session_->userInitiated && skipped == item.versionString) continue;
      if (!best || compareVersions(item.versionString, best->versionString) > 0) best = &item;
    }
    if (!best) {
      const auto text = newest && compareVersions(newest->versionString, current) < 0
                            ? appName() + " " + currentDisplayVersion() +
                                  " is newer than the newest version available (" +
                                  newest->displayVersionString + ")."
                            : appName() + " " + currentDisplayVersion() +
                                  " is currently the newest version available.";
      return conclude(UpdateMessageKind::Information, upToDateTitle, text);
    }
    session_->item = *best;

    const bool announcedByApplication =
        !session_->userInitiated && delegate_ &&
        delegate_->supportsGentleScheduledUpdateReminders() &&
        !delegate_->standardUserDriverShouldHandleShowingScheduledUpdate(session_->item, false);
    if (announcedByApplication) {
      session_->phase = Phase::WaitingForAttention;
      delegate_->standardUserDriverWillHandleShowingUpdate(
          false, session_->item, {UserUpdateState::Stage::NotDownloaded, false});
      refreshCanCheck();
      return;
    }
    offer();
  }

  // Shows the update with its release notes and the three choices.
  void offer() {
    session_->seen = true;
    session_->phase = Phase::LoadingNotes;
    refreshCanCheck();
    if (delegate_)
      delegate_->standardUserDriverWillHandleShowingUpdate(
          true, session_->item, {UserUpdateState::Stage::NotDownloaded, session_->userInitiated});
    if (session_->item.releaseNotesURL.empty())
      return presentOffer(session_->item.itemDescription, false);
    session_->transfer =
        setup_.transport.get(session_->item.releaseNotesURL, notesLimit, {},
                             forSession([this](UpdateTransport::Result result) {
                               session_->transfer.reset();
                               presentOffer(result.ok ? result.body : std::string(), !result.ok);
                             }));
  }

  void presentOffer(const std::string& notes, bool notesUnavailable) {
    session_->phase = Phase::Choosing;
    UpdateOffer offered{appName(), session_->item.displayVersionString, currentDisplayVersion(),
                        notes, notesUnavailable};
    setup_.alerts.showUpdateFound(offered,
                                  forSession([this](UpdateChoice choice) { chosen(choice); }));
  }

  void chosen(UpdateChoice choice) {
    switch (choice) {
      case UpdateChoice::Install:
        return download();
      case UpdateChoice::SkipThisVersion:
        setup_.defaults.setObject(keys::skippedVersion, session_->item.versionString);
        return finishSession();
      case UpdateChoice::RemindMeLater:
        return finishSession();
    }
  }

  std::string versionName() const { return appName() + " " + session_->item.displayVersionString; }

  void download() {
    const auto& item = session_->item;
    if (item.contentLength == 0 || item.contentLength > archiveLimit)
      return fail("The update feed does not give a usable size for " + versionName() +
                  ". Nothing was downloaded.");
    if (item.edSignature.empty())
      return fail(versionName() +
                  " is not signed, so it cannot be verified. Nothing was "
                  "downloaded.");
    session_->phase = Phase::Downloading;
    const auto title = "Downloading " + versionName() + "\u2026";
    const auto cancel = forSession([this] { finishSession(); });
    setup_.alerts.showDownloadProgress(title, 0, item.contentLength, cancel);
    session_->transfer = setup_.transport.get(
        item.fileURL, item.contentLength,
        forSession([this, title, cancel](std::uint64_t received, std::uint64_t) {
          setup_.alerts.showDownloadProgress(title, received, session_->item.contentLength, cancel);
        }),
        forSession([this](UpdateTransport::Result result) { archiveArrived(std::move(result)); }));
  }

  void archiveArrived(UpdateTransport::Result result) {
    session_->transfer.reset();
    const auto& item = session_->item;
    if (!result.ok)
      return fail(appName() + " could not download the update: " + result.error +
                  ". Nothing was kept.");
    if (result.body.size() != item.contentLength)
      return fail("The download of " + versionName() +
                  " is incomplete: " + std::to_string(result.body.size()) + " of " +
                  std::to_string(item.contentLength) + " bytes arrived. Nothing was kept.");
    const auto key = decodePublicKey(infoKey(keys::publicEDKey));
    if (!key || !verifySignature(result.body, item.edSignature, *key))
      return fail("The update is improperly signed and could not be validated: " + versionName() +
                  " does not carry this build's signature. Nothing was kept.");

    const auto path = setup_.stagingFolder + "/" +
                      archiveFileName(item.fileURL, appName() + "-" + item.displayVersionString);
    std::string error;
    if (!writeFileAtomically(path, result.body, error))
      return fail("The verified update could not be saved: " + error + ". Nothing was kept.");
    conclude(UpdateMessageKind::Success, versionName() + " is ready to install",
             versionName() + " was downloaded and its signature verified. It is saved next to " +
                 appName() + " as \u201c" + path + "\u201d: quit " + appName() +
                 " and unpack it there to finish installing.");
  }

  // The session ends with an error: shown when the user is following this session, silent for a
  // scheduled check nobody has seen.
  void fail(const std::string& message) { conclude(UpdateMessageKind::Error, errorTitle, message); }

  void conclude(UpdateMessageKind kind, const std::string& title, const std::string& text) {
    session_->transfer.reset();
    if (!session_->seen) return finishSession();
    session_->phase = Phase::Concluding;
    setup_.alerts.showMessage(kind, title, text, forSession([this] { finishSession(); }));
  }

  void finishSession() {
    if (!session_) return;
    session_->transfer.reset();
    setup_.alerts.close();
    if (delegate_) delegate_->standardUserDriverWillFinishUpdateSession();
    session_.reset();
    refreshCanCheck();
    scheduleNextCheck();
  }

  const StandardUpdaterFramework::Setup& setup_;
  StandardUserDriverDelegate* const delegate_;
  bool started_ = false;
  bool canCheck_ = false;
  bool automatic_;
  Signal<bool> canCheckChanged_;
  Signal<bool> automaticChanged_;
  TimerRef scheduleTimer_;
  std::unique_ptr<Session> session_;
  std::uint64_t sessions_ = 0;
  // Last: deferred work holds the controller only while it lives.
  Lifetime lifetime_;
};

}  // namespace

std::unique_ptr<StandardUpdaterController> StandardUpdaterFramework::makeStandardUpdaterController(
    bool startingUpdater, StandardUserDriverDelegate* userDriverDelegate) {
  auto controller = std::make_unique<Controller>(setup_, userDriverDelegate);
  if (startingUpdater) controller->startUpdater();
  return controller;
}

}  // namespace tucklet::platform::updates
