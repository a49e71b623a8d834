// What the access panel shows, as plain state: the candidates (the items the items menu lists, in
// its order, each with the names and the picture the panel draws), the search text, the matches
// and the selection, and the sizes of the panel's parts. The panel's widgets only draw this state
// and hand the user's keys and clicks back to it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/bar_item.h"
#include "inventory/text.h"
#include "platform/image.h"
#include "platform/symbols.h"
#include "platform/workspace.h"

namespace tucklet {

// Whether every white-space token of `query` is found, ignoring case and diacritics as the user's
// locale sees them, in the item's display name, application name and detail name. A query without
// tokens matches every item.
bool itemMatchesQuery(const BarItem& item, std::string_view query,
                      const platform::Workspace& workspace,
                      const Collation& collation = Collation::user());

// The picture the panel draws for an item: its system symbol when it has one the system knows,
// else its captured icon, else the "app" symbol.
platform::ImageRef panelIcon(const BarItem& item, const platform::Workspace& workspace,
                             const platform::Symbols& symbols);

struct PanelCandidate {
  BarItem item;
  std::string displayName;
  std::string appName;
  std::string haystack;  // what a query is matched against
  platform::ImageRef icon;
};

PanelCandidate panelCandidate(const BarItem& item, const platform::Workspace& workspace,
                              const platform::Symbols& symbols);

class PanelState {
 public:
  // A fresh panel: empty query, the first candidate selected.
  PanelState(bool search, std::vector<PanelCandidate> candidates,
             const Collation& collation = Collation::user());

  bool search() const { return search_; }
  const std::vector<PanelCandidate>& candidates() const { return candidates_; }
  const std::string& query() const { return query_; }
  // The candidates the query matches, as indices into `candidates`, in candidate order.
  const std::vector<std::size_t>& matches() const { return matches_; }
  // The `id` of the selected item; nothing when nothing matches.
  const std::optional<std::string>& selection() const { return selection_; }
  // Index into `matches` of the selection; nothing when it is not among them.
  std::optional<std::size_t> selectedMatch() const;
  // Whether the selection was moved with the keys since the panel opened or the query changed.
  bool movedByKeys() const { return movedByKeys_; }

  // A new query: the matches follow, and the first match is selected. False when the query is the
  // one already there (nothing changes).
  bool setQuery(std::string query);
  // The listed items changed while the panel shows: the query stays, the selection too while it
  // still matches, else the first match is selected.
  void setCandidates(std::vector<PanelCandidate> candidates);
  // Moves the selection by `delta` matches, stopping at both ends; nothing without matches.
  void move(int delta);
  // What Return opens: the selected match, else the first; nothing without matches.
  const PanelCandidate* submitTarget() const;

 private:
  // Matches the query again; the selection is the first match unless `keepSelection` and it is
  // still among the matches.
  void match(bool keepSelection = false);

  bool search_;
  std::vector<PanelCandidate> candidates_;
  const Collation& collation_;
  std::string query_;
  std::vector<std::size_t> matches_;
  std::optional<std::string> selection_;
  bool movedByKeys_ = false;
};

// The panel's sizes, in points.
namespace panel_layout {
constexpr double kWidth = 380;
constexpr double kFieldHeight = 24;
constexpr double kFieldPadding = 12;
constexpr double kEmptyHeight = 130;
constexpr int kGridColumns = 6;
constexpr double kGridMargin = 12;
constexpr double kGridColumnMinimum = 52;
constexpr double kCellWidth = 40;
constexpr double kCellHeight = 32;
constexpr double kCellIcon = 22;
constexpr double kRowHeight = 34;
constexpr double kListPadding = 6;  // above the first row and below the last
constexpr double kRowIcon = 20;
constexpr double kRowSpacing = 10;
constexpr double kFooterPadding = 10;

// The grid's rows for `count` candidates (six to a row).
std::size_t gridRows(std::size_t count);
// The overflow grid's scroll area: min(52 × rows + 24, 280).
double gridHeight(std::size_t count);
// The search results: min(34 × count + 12, 340).
double listHeight(std::size_t count);
// The part between the field (or the panel's top) and the footer.
double contentHeight(bool search, std::size_t count);
}  // namespace panel_layout

}  // namespace tucklet
