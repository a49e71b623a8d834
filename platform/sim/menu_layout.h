// How the simulated desktop lays a menu out, the way a Mac draws its menus: a rounded panel with
// 5 points above and below the rows, 22-point rows, rows with a subtitle taller, small section
// headers, separators, an image column of 18 × 18 points when any row has an image, and key
// equivalents right-aligned. The same layout places the rows for hit tests and for the screen
// pictures, so a click lands on the row that is drawn under it.
//
// Text widths come from a measuring function: the screen renderer measures with the fonts it draws
// with; without it (no fonts loaded) an estimate per character stands in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/menus.h"
#include "platform/sim/world.h"

namespace tucklet::sim {

namespace menu_metrics {
constexpr double kVerticalPadding = 5;
constexpr double kItemHeight = 22;
constexpr double kSubtitledItemHeight = 36;
constexpr double kHeaderHeight = 22;
constexpr double kSeparatorHeight = 11;
constexpr double kCornerRadius = 7;
constexpr double kHighlightInset = 5;  // the highlight's distance from the panel's sides
constexpr double kHighlightRadius = 4;
constexpr double kLeadingInset = 14;  // the first column's distance from the panel's left side
constexpr double kCheckColumn = 14;   // reserved when some row carries a check mark
constexpr double kImageSide = 18;
constexpr double kImageGap = 6;        // between the image column and the titles
constexpr double kTrailingInset = 14;  // key equivalents and submenu arrows end here
constexpr double kKeyGap = 28;         // at least this between a title and its key equivalent
constexpr double kSubmenuArrow = 8;
constexpr double kMinimumWidth = 120;
// Text sizes in points.
constexpr double kTitleSize = 13;
constexpr double kSubtitleSize = 11;
constexpr double kHeaderSize = 11;
}  // namespace menu_metrics

enum class MenuText { Title, Subtitle, Header, KeyEquivalent };
// Width in points of `text` set in the menu font for `style`.
using MenuTextWidth = std::function<double(const std::string& text, MenuText style)>;
// A width from the characters alone, close to a proportional sans-serif face.
double estimatedMenuTextWidth(const std::string& text, MenuText style);

struct MenuLayoutRow {
  enum class Kind { Item, Separator, Header };
  Kind kind = Kind::Item;
  std::string title;
  std::string subtitle;
  std::string keyEquivalent;  // as shown: "⌘Q", "⌥⌘,"
  platform::ImageRef image;   // a system symbol (a template) or a picture shown as it is
  bool enabled = true;
  bool checked = false;
  bool hasSubmenu = false;
  Rect frame;  // in the menu: origin at its top-left corner, y down

  // Rows the pointer, the arrow keys and Return can choose.
  bool choosable() const { return kind == Kind::Item && enabled && !hasSubmenu; }
};

struct MenuLayout {
  Size size;
  std::vector<MenuLayoutRow> rows;
  double checkX = 0;  // left of the check mark column
  double imageX = 0;  // left of the image column (equal to `titleX` without images)
  double titleX = 0;  // where titles, subtitles and headers start
  bool dark = false;  // drawn in the dark appearance
};

// Lays out a pop-up menu built by the product; `maximumWidth` caps a menu whose titles would not
// fit on the screen (the renderer shortens such titles).
MenuLayout layOutMenu(const platform::MenuModel& model, const MenuTextWidth& textWidth, bool dark,
                      double maximumWidth);
// Lays out the menu of another application's menu bar item.
MenuLayout layOutMenu(const std::vector<MenuRow>& rows, const MenuTextWidth& textWidth, bool dark,
                      double maximumWidth);

// A key equivalent as a Mac menu shows it: modifier symbols in the order ⌃⌥⇧⌘, then the key
// ("⌘,", "⌘Q"). Command alone when no modifier is given; empty without a key.
std::string keyEquivalentText(const std::string& key, std::uint32_t modifiers);

// The next choosable row after `from` going down (`step` +1) or up (-1), wrapping around; from
// nothing, the first (down) or last (up). Nothing when no row can be chosen.
std::optional<std::size_t> nextChoosableRow(const MenuLayout& layout,
                                            std::optional<std::size_t> from, int step);

}  // namespace tucklet::sim
