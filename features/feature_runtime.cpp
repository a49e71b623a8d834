#include "features/feature_runtime.h"

#include <algorithm>
#include <cmath>

#include "menubar/status_item.h"

namespace tucklet {

namespace {

constexpr double hoverInterval = 0.15;
constexpr double ruleInterval = 1.0;
constexpr double minimumHoverDelay = 0.2;
constexpr double scrollGap = 0.5;
// The 1 s timer keeps its schedule: after a tick that came late (the main thread was busy) the
// next one comes less than a second later. Without some slack that tick would be skipped and a
// rule would wait two seconds.
constexpr double timerSlack = 0.1;

}  // namespace

FeatureRuntime::FeatureRuntime(platform::Platform& platform, Preferences& preferences,
                               const platform::Lifetime& lifetime, bool nativeVisibility,
                               std::string ownBundleIdentifier, const StatusItem& statusItem,
                               Links links)
    : platform_(platform),
      preferences_(preferences),
      lifetime_(lifetime),
      nativeVisibility_(nativeVisibility),
      ownBundleIdentifier_(std::move(ownBundleIdentifier)),
      statusItem_(statusItem),
      links_(std::move(links)),
      shortcuts_(std::make_unique<ShortcutRegistry>(platform.hotKeys)) {
  if (const auto front = platform_.workspace.frontmostApplication())
    lastExternalBundle_ = front->bundleIdentifier.value_or("");
  activationObserver_ =
      platform_.workspace.observe(platform::WorkspaceNotification::FrontmostApplicationChanged,
                                  lifetime_.guard([this](pid_t) { noteActivation(); }));
  synchronise();
}

FeatureRuntime::~FeatureRuntime() {
  stop();
}

void FeatureRuntime::synchronise() {
  if (stopped_) return;
  const auto& features = preferences_.features();

  // 1. The timer.
  std::optional<double> interval;
  if (features.hoverReveal)
    interval = hoverInterval;
  else if (nativeVisibility_ && (!features.rules.empty() || automaticState_.baseline))
    interval = ruleInterval;
  if (interval != timerInterval_) {
    if (timer_) timer_->invalidate();
    timer_.reset();
    if (interval)
      timer_ = platform_.runLoop.scheduleTimer(*interval, true, platform::TimerMode::Common,
                                               lifetime_.guard([this] { tick(); }));
    timerInterval_ = interval;
  }

  // 2. The scroll monitors.
  if (features.scrollReveal && !localScrollMonitor_) {
    const auto mask = platform::eventMaskFor(platform::EventType::ScrollWheel);
    auto handler = lifetime_.guard([this](const platform::InputEvent& event) { scrolled(event); });
    scrollMonitor_ = platform_.windowServer.addGlobalMonitor(mask, handler);
    localScrollMonitor_ = platform_.windowServer.addLocalMonitor(mask, handler);
  } else if (!features.scrollReveal) {
    scrollMonitor_.reset();
    localScrollMonitor_.reset();
  }

  // 3. The shortcuts.
  if (!recordingShortcut_ &&
      (!configuredShortcuts_ || *configuredShortcuts_ != features.shortcuts)) {
    configuredShortcuts_ = features.shortcuts;
    shortcuts_->registerShortcuts(features.shortcuts,
                                  lifetime_.guard([this](const KeyboardShortcut& shortcut) {
                                    if (!stopped_) perform(shortcut);
                                  }));
    if (links_.shortcutErrorsChanged) links_.shortcutErrorsChanged(shortcuts_->errors());
  }
}

void FeatureRuntime::tick() {
  if (stopped_) return;
  const double now = platform_.runLoop.wallClock();
  hoverStep(now);
  evaluateRules(now);
}

bool FeatureRuntime::pointerOverIcon() const {
  const auto frame = statusItem_.item()->buttonScreenFrame();
  return frame && frame->contains(platform_.screens.mouseLocation());
}

void FeatureRuntime::hoverStep(double now) {
  const auto& features = preferences_.features();
  if (!features.hoverReveal || !pointerOverIcon()) {
    hoverStarted_.reset();
    hoverFired_ = false;
    return;
  }
  if (!hoverStarted_) hoverStarted_ = now;
  if (!hoverFired_ && now - *hoverStarted_ >= std::max(features.hoverDelay, minimumHoverDelay)) {
    hoverFired_ = true;
    showAccessPanel(false);
  }
}

void FeatureRuntime::evaluateRules(double now) {
  if (!nativeVisibility_ || now - lastRuleCheck_ < ruleInterval - timerSlack) return;
  lastRuleCheck_ = now;
  const auto& features = preferences_.features();
  if (features.rules.empty() && !automaticState_.baseline) return;

  const auto context = readContext();
  const auto selection = selectPreset(features, context);
  const auto capture = preferences_.captureVisibility("Before automatic rules");
  auto step = stepAutomaticState(automaticState_, selection, capture);
  automaticState_ = std::move(step.state);
  if (step.apply) {
    applyAutomatic(*step.apply);
    synchronise();
  }
}

RuleContext FeatureRuntime::readContext() {
  RuleContext context;
  if (const auto front = platform_.workspace.frontmostApplication();
      front && front->bundleIdentifier && *front->bundleIdentifier != ownBundleIdentifier_)
    lastExternalBundle_ = *front->bundleIdentifier;
  context.lastExternalBundle = lastExternalBundle_;
  const auto time = platform_.runLoop.localTime();
  context.minuteOfDay = time.hour * 60 + time.minute;
  if (rulesNeedBattery(preferences_.features().rules)) {
    const auto battery = readBattery(platform_.powerSources.powerSources());
    context.batteryPercentage = battery.percentage;
    context.onACPower = battery.onACPower;
  }
  context.displayCount = platform_.screens.screens().size();
  for (const auto& app : platform_.workspace.runningApplications())
    if (app.bundleIdentifier) context.runningBundles.insert(*app.bundleIdentifier);
  return context;
}

void FeatureRuntime::noteActivation() {
  if (stopped_) return;
  const auto front = platform_.workspace.frontmostApplication();
  if (front && front->bundleIdentifier && *front->bundleIdentifier != ownBundleIdentifier_)
    lastExternalBundle_ = *front->bundleIdentifier;
}

void FeatureRuntime::applyAutomatic(const VisibilityPreset& preset) {
  applyingAutomatic_ = true;
  preferences_.applyPreset(preset);
  applyingAutomatic_ = false;
}

void FeatureRuntime::visibilityChanged() {
  if (stopped_ || applyingAutomatic_ || !automaticState_.baseline) return;
  automaticState_.baseline = preferences_.captureVisibility("Manual visibility");
}

void FeatureRuntime::applyPresetManually(const VisibilityPreset& preset) {
  if (automaticState_.baseline) automaticState_.baseline = preset;
  preferences_.applyPreset(preset);
}

void FeatureRuntime::setRecordingShortcut(bool recording) {
  if (stopped_) return;
  if (recording) {
    recordingShortcut_ = true;
    shortcuts_->unregisterAll();
    return;
  }
  recordingShortcut_ = false;
  configuredShortcuts_.reset();
  synchronise();
}

void FeatureRuntime::showAccessPanel(bool search) {
  if (links_.showAccessPanel) links_.showAccessPanel(search);
}

void FeatureRuntime::perform(const KeyboardShortcut& shortcut) {
  switch (shortcut.action) {
    case ShortcutAction::search:
      showAccessPanel(true);
      break;
    case ShortcutAction::reveal:
      if (links_.toggleReveal) links_.toggleReveal();
      break;
    case ShortcutAction::overflow:
      showAccessPanel(false);
      break;
    case ShortcutAction::item: {
      if (!links_.items || !links_.openItem) return;
      const auto& items = links_.items();
      const auto item = std::find_if(items.begin(), items.end(),
                                     [&](const BarItem& i) { return i.id == shortcut.target; });
      if (item == items.end()) return;
      // The opening may replace the inventory's list: hold a copy.
      const BarItem chosen = *item;
      if (links_.accessPanelShown && links_.closeAccessPanel && links_.accessPanelShown())
        links_.closeAccessPanel();
      if (links_.scheduleAutoCollapse) links_.scheduleAutoCollapse();
      links_.openItem(chosen);
      break;
    }
    case ShortcutAction::preset: {
      const auto& presets = preferences_.features().presets;
      const auto preset = std::find_if(presets.begin(), presets.end(), [&](const auto& p) {
        return p.id.text() == shortcut.target;
      });
      if (preset == presets.end()) return;
      const VisibilityPreset chosen = *preset;
      applyPresetManually(chosen);
      break;
    }
  }
}

void FeatureRuntime::scrolled(const platform::InputEvent& event) {
  if (stopped_ || !preferences_.features().scrollReveal || !pointerOverIcon()) return;
  if (std::abs(event.scrollDeltaY) <= 1) return;
  const double now = platform_.runLoop.wallClock();
  if (now - lastScroll_ <= scrollGap) return;
  lastScroll_ = now;
  if (event.scrollDeltaY > 0) {
    showAccessPanel(false);
  } else {
    if (links_.accessPanelShown && links_.closeAccessPanel && links_.accessPanelShown())
      links_.closeAccessPanel();
    if (links_.scheduleAutoCollapse) links_.scheduleAutoCollapse();
  }
}

void FeatureRuntime::stop() {
  if (stopped_) return;
  stopped_ = true;
  if (timer_) timer_->invalidate();
  timer_.reset();
  timerInterval_.reset();
  activationObserver_.disconnect();
  scrollMonitor_.reset();
  localScrollMonitor_.reset();
  shortcuts_->unregisterAll();
  const auto baseline = std::exchange(automaticState_.baseline, std::nullopt);
  automaticState_.active.reset();
  if (baseline) applyAutomatic(*baseline);
}

}  // namespace tucklet
