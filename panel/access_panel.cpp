#include "panel/access_panel.h"

#include <QApplication>

#include "menubar/status_item.h"
#include "panel/access_panel_view.h"
#include "platform/qt/widgets/widget_window.h"

namespace tucklet {

namespace {

platform::MenuAppearance appearanceSetting(const std::string& appearance) {
  if (appearance == "light") return platform::MenuAppearance::Light;
  if (appearance == "dark") return platform::MenuAppearance::Dark;
  return platform::MenuAppearance::System;
}

// Widgets need a QApplication; a process without one has no panel to show.
bool canShowWidgets() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

AccessPanel::AccessPanel(platform::Platform& platform, const Preferences& preferences,
                         const platform::Lifetime& lifetime, StatusItem& statusItem, Links links)
    : platform_(platform),
      preferences_(preferences),
      lifetime_(lifetime),
      statusItem_(statusItem),
      links_(std::move(links)) {}

AccessPanel::~AccessPanel() {
  popover_.reset();
  content_.reset();
  view_.reset();
}

void AccessPanel::showAccessPanel(bool search) {
  if (links_.itemsMenuShown && links_.itemsMenuShown()) return;
  if (links_.openingItem && links_.openingItem()) return;
  const auto& toggle = statusItem_.item();
  if (!toggle || !toggle->hasButton()) return;
  if (popover_ || !platform_.windows || !canShowWidgets()) return;

  if (links_.stopAutoCollapse) links_.stopAutoCollapse();

  state_.emplace(search, currentCandidates());
  view_ = std::make_unique<AccessPanelView>(
      *this, preferences_.features().overflowSpacing, [this](std::function<void()> work) {
        platform_.runLoop.async(lifetime_.guard(std::move(work)));
      });
  content_ = std::make_shared<platform::WidgetWindowContent>(view_.get());

  const auto serial = ++serial_;
  popover_ = platform_.windows->showPopover(
      content_, toggle,
      {.title = "",
       .appearance = appearanceSetting(preferences_.features().appearance),
       .layer = 0,
       .transient = true},
      lifetime_.guard([this, serial] { popoverDidClose(serial); }));
  if (!popover_) {
    dropPopover();
    if (links_.scheduleAutoCollapse) links_.scheduleAutoCollapse();
    return;
  }
  // Typing and the arrow keys reach the panel at once (the key window of this process takes the
  // keyboard without making Tucklet the frontmost application, whose menus would replace the
  // user's); the search field takes the focus itself once it is in the window.
  popover_->makeKey();
  statusItem_.refreshHighlight();
}

std::vector<PanelCandidate> AccessPanel::currentCandidates() const {
  std::vector<PanelCandidate> candidates;
  if (links_.candidates)
    for (const auto& item : links_.candidates())
      candidates.push_back(panelCandidate(item, platform_.workspace, platform_.symbols));
  return candidates;
}

void AccessPanel::candidatesChanged() {
  if (!state_) return;
  state_->setCandidates(currentCandidates());
  redraw();
}

void AccessPanel::appearanceChanged() {
  if (popover_) popover_->setAppearance(appearanceSetting(preferences_.features().appearance));
}

void AccessPanel::redraw() {
  if (view_) view_->refresh();
  if (popover_) popover_->contentSizeChanged();
}

void AccessPanel::closeAccessPanel() {
  if (!popover_) return;
  popover_->close();
  dropPopover();
  if (links_.scheduleAutoCollapse) links_.scheduleAutoCollapse();
}

void AccessPanel::openFromPanel(const BarItem& item) {
  const BarItem chosen = item;  // the panel's state, which holds the item, goes first
  closeAccessPanel();
  if (links_.openItem) links_.openItem(chosen);
}

void AccessPanel::popoverDidClose(std::uint64_t serial) {
  // A newer panel is showing: this close was an older one's.
  if (popover_ && serial != serial_) return;
  dropPopover();
  statusItem_.cancelExpandedSession();
  if (links_.scheduleAutoCollapse) links_.scheduleAutoCollapse();
}

void AccessPanel::dropPopover() {
  popover_.reset();
  content_.reset();
  statusItem_.refreshHighlight();
  if (view_) {
    view_->hide();
    view_.release()->deleteLater();
  }
  state_.reset();
}

void AccessPanel::setQuery(const std::string& query) {
  if (!state_ || !state_->setQuery(query)) return;
  redraw();
}

void AccessPanel::move(int delta) {
  if (!state_) return;
  state_->move(delta);
  if (view_) view_->refresh();
}

void AccessPanel::submit() {
  if (!state_) return;
  if (const auto* chosen = state_->submitTarget()) openFromPanel(chosen->item);
}

void AccessPanel::cancel() {
  closeAccessPanel();
}

void AccessPanel::settingsButton() {
  closeAccessPanel();
  if (links_.openSettingsWindow) links_.openSettingsWindow();
}

}  // namespace tucklet
