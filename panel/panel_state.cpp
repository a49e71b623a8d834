#include "panel/panel_state.h"

#include <algorithm>

namespace tucklet {

namespace {

std::string haystackOf(const BarItem& item, const platform::Workspace& workspace) {
  return displayName(item, workspace) + " " + item.appName + " " +
         detailName(item, workspace).value_or("");
}

}  // namespace

bool itemMatchesQuery(const BarItem& item, std::string_view query,
                      const platform::Workspace& workspace, const Collation& collation) {
  return collation.containsEveryToken(haystackOf(item, workspace), query);
}

platform::ImageRef panelIcon(const BarItem& item, const platform::Workspace& workspace,
                             const platform::Symbols& symbols) {
  if (const auto symbol = symbolName(item, workspace); symbol && symbols.hasSymbol(*symbol))
    return platform::Image::symbol(*symbol);
  if (item.icon) return item.icon;
  return platform::Image::symbol("app");
}

PanelCandidate panelCandidate(const BarItem& item, const platform::Workspace& workspace,
                              const platform::Symbols& symbols) {
  return {item, displayName(item, workspace), item.appName, haystackOf(item, workspace),
          panelIcon(item, workspace, symbols)};
}

PanelState::PanelState(bool search, std::vector<PanelCandidate> candidates,
                       const Collation& collation)
    : search_(search), candidates_(std::move(candidates)), collation_(collation) {
  match();
}

std::optional<std::size_t> PanelState::selectedMatch() const {
  if (!selection_) return std::nullopt;
  for (std::size_t i = 0; i < matches_.size(); ++i)
    if (candidates_[matches_[i]].item.id == *selection_) return i;
  return std::nullopt;
}

bool PanelState::setQuery(std::string query) {
  if (query == query_) return false;
  query_ = std::move(query);
  match();
  return true;
}

void PanelState::setCandidates(std::vector<PanelCandidate> candidates) {
  candidates_ = std::move(candidates);
  match(true);
}

void PanelState::match(bool keepSelection) {
  matches_.clear();
  for (std::size_t i = 0; i < candidates_.size(); ++i)
    if (collation_.containsEveryToken(candidates_[i].haystack, query_)) matches_.push_back(i);
  if (keepSelection && selectedMatch()) return;
  selection_.reset();
  if (!matches_.empty()) selection_ = candidates_[matches_.front()].item.id;
  movedByKeys_ = false;
}

void PanelState::move(int delta) {
  if (matches_.empty()) return;
  const auto count = static_cast<long>(matches_.size());
  const long from = static_cast<long>(selectedMatch().value_or(0));
  const long to = std::min(count - 1, std::max(0L, from + delta));
  selection_ = candidates_[matches_[static_cast<std::size_t>(to)]].item.id;
  movedByKeys_ = true;
}

const PanelCandidate* PanelState::submitTarget() const {
  if (matches_.empty()) return nullptr;
  if (const auto selected = selectedMatch()) return &candidates_[matches_[*selected]];
  return &candidates_[matches_.front()];
}

namespace panel_layout {

std::size_t gridRows(std::size_t count) {
  return (count + kGridColumns - 1) / kGridColumns;
}

double gridHeight(std::size_t count) {
  return std::min(52.0 * static_cast<double>(gridRows(count)) + 24, 280.0);
}

double listHeight(std::size_t count) {
  return std::min(kRowHeight * static_cast<double>(count) + 2 * kListPadding, 340.0);
}

double contentHeight(bool search, std::size_t count) {
  if (count == 0) return kEmptyHeight;
  return search ? listHeight(count) : gridHeight(count);
}

}  // namespace panel_layout

}  // namespace tucklet
