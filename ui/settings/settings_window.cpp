#include "ui/settings/settings_window.h"

namespace tucklet {

namespace {

void run(const std::function<void()>& f) {
  if (f) f();
}

bool ask(const std::function<bool()>& f) {
  return f && f();
}

}  // namespace

SettingsWindow::SettingsWindow(platform::Platform& platform, bool nativeVisibility,
                               std::string initialTab, Links links, SettingsViewFactory factory)
    : platform_(platform),
      nativeVisibility_(nativeVisibility),
      links_(std::move(links)),
      factory_(std::move(factory)),
      settingsTab_(std::move(initialTab)) {}

SettingsWindow::~SettingsWindow() {
  // The widgets read the context; they go first.
  view_.reset();
}

void SettingsWindow::setSettingsTab(std::string tab) {
  if (tab == settingsTab_) return;
  settingsTab_ = std::move(tab);
  changed.emit();
}

void SettingsWindow::openSettingsWindow() {
  if (ask(links_.setupInProgress) || ask(links_.onboardingHandingOff)) return;
  run(links_.closeItemsMenu);
  run(links_.closeAccessPanel);
  if (!ask(links_.setupComplete) || !ask(links_.trusted)) {
    run(links_.startOnboarding);
    return;
  }
  run(links_.dismissOnboarding);
  // With the native backend the hidden items stay hidden and the lists are brought up to date;
  // with the divider everything shows while the window is open.
  if (nativeVisibility_) {
    if (links_.requestInventoryRefresh) links_.requestInventoryRefresh();
  } else {
    run(links_.showAll);
  }
  if (!created_) {
    created_ = true;
    if (factory_ && context_) view_ = factory_(*context_, [this] { visible_ = false; });
  }
  visible_ = true;
  platform_.application.activate();
  if (view_) view_->showAndMakeKey();
}

void SettingsWindow::closeSettingsWindow() {
  visible_ = false;
  if (view_) view_->orderOut();
}

}  // namespace tucklet
