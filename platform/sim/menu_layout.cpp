#include "platform/sim/menu_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/system_symbols.h"
#include "platform/window_server.h"

namespace tucklet::sim {

namespace {

using namespace menu_metrics;

double pointSize(MenuText style) {
  switch (style) {
    case MenuText::Subtitle:
      return kSubtitleSize;
    case MenuText::Header:
      return kHeaderSize;
    default:
      return kTitleSize;
  }
}

// Advance of one character in em, for a sans-serif face of ordinary proportions.
double estimatedAdvance(char32_t c) {
  if (c == U' ') return 0.28;
  if (c < 0x80) {
    const char a = static_cast<char>(c);
    if (std::string_view("iljtfI.,:;'|!()[]").find(a) != std::string_view::npos) return 0.32;
    if (std::string_view("mwMW").find(a) != std::string_view::npos) return 0.86;
    if (a >= 'A' && a <= 'Z') return 0.68;
    return 0.56;
  }
  // Symbols such as ⌘ and ⇧, ellipses, letters of other scripts.
  return 0.8;
}

char32_t nextCodePoint(const std::string& text, std::size_t& i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  int length = 1;
  char32_t c = byte;
  if (byte >= 0xF0) {
    length = 4;
    c = byte & 0x07;
  } else if (byte >= 0xE0) {
    length = 3;
    c = byte & 0x0F;
  } else if (byte >= 0xC0) {
    length = 2;
    c = byte & 0x1F;
  }
  for (int k = 1; k < length && i + k < text.size(); ++k)
    c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  i += length;
  return c;
}

double rowHeight(const MenuLayoutRow& row) {
  switch (row.kind) {
    case MenuLayoutRow::Kind::Separator:
      return kSeparatorHeight;
    case MenuLayoutRow::Kind::Header:
      return kHeaderHeight;
    case MenuLayoutRow::Kind::Item:
      return row.subtitle.empty() ? kItemHeight : kSubtitledItemHeight;
  }
  return kItemHeight;
}

// Places rows one under another and finds the columns and the width every row needs.
MenuLayout finish(std::vector<MenuLayoutRow> rows, const MenuTextWidth& textWidth, bool dark,
                  double minimumWidth, double maximumWidth) {
  MenuLayout layout;
  layout.dark = dark;
  const bool checks =
      std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r.checked; });
  const bool images = std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r.image; });
  layout.checkX = kLeadingInset;
  layout.imageX = kLeadingInset + (checks ? kCheckColumn : 0);
  layout.titleX = layout.imageX + (images ? kImageSide + kImageGap : 0);

  const auto measure = textWidth ? textWidth : MenuTextWidth(estimatedMenuTextWidth);
  double width = std::max(kMinimumWidth, minimumWidth);
  double y = kVerticalPadding;
  for (auto& row : rows) {
    double needed = 0;
    switch (row.kind) {
      case MenuLayoutRow::Kind::Separator:
        break;
      case MenuLayoutRow::Kind::Header:
        needed = layout.imageX + measure(row.title, MenuText::Header) + kTrailingInset;
        break;
      case MenuLayoutRow::Kind::Item: {
        double text = measure(row.title, MenuText::Title);
        if (!row.subtitle.empty()) text = std::max(text, measure(row.subtitle, MenuText::Subtitle));
        double trailing = 0;
        if (!row.keyEquivalent.empty())
          trailing = kKeyGap + measure(row.keyEquivalent, MenuText::KeyEquivalent);
        if (row.hasSubmenu) trailing = std::max(trailing, kKeyGap + kSubmenuArrow);
        needed = layout.titleX + text + trailing + kTrailingInset;
        break;
      }
    }
    width = std::max(width, std::ceil(needed));
    const double height = rowHeight(row);
    row.frame = {0, y, 0, height};
    y += height;
  }
  if (maximumWidth > 0) width = std::min(width, std::max(kMinimumWidth, maximumWidth));
  for (auto& row : rows)
    row.frame.width = width;
  layout.size = {width, y + kVerticalPadding};
  layout.rows = std::move(rows);
  return layout;
}

}  // namespace

double estimatedMenuTextWidth(const std::string& text, MenuText style) {
  double em = 0;
  for (std::size_t i = 0; i < text.size();)
    em += estimatedAdvance(nextCodePoint(text, i));
  return em * pointSize(style);
}

std::string keyEquivalentText(const std::string& key, std::uint32_t modifiers) {
  if (key.empty()) return {};
  if (modifiers == 0) modifiers = platform::ModifierCommand;
  std::string shownKey = key;
  if (key.size() == 1) {
    const char c = key[0];
    // An upper-case key equivalent is typed with Shift.
    if (c >= 'A' && c <= 'Z') modifiers |= platform::ModifierShift;
    if (c >= 'a' && c <= 'z') shownKey = std::string(1, static_cast<char>(c - 'a' + 'A'));
    if (c == '\r') shownKey = "↩";
    if (c == '\t') shownKey = "⇥";
    if (c == '\x1b') shownKey = "⎋";
    if (c == '\x7f' || c == '\b') shownKey = "⌫";
    if (c == ' ') shownKey = "Space";
  }
  std::string text;
  if (modifiers & platform::ModifierControl) text += "⌃";
  if (modifiers & platform::ModifierOption) text += "⌥";
  if (modifiers & platform::ModifierShift) text += "⇧";
  if (modifiers & platform::ModifierCommand) text += "⌘";
  return text + shownKey;
}

MenuLayout layOutMenu(const platform::MenuModel& model, const MenuTextWidth& textWidth, bool dark,
                      double maximumWidth) {
  std::vector<MenuLayoutRow> rows;
  for (const auto& row : model.rows) {
    MenuLayoutRow shown;
    switch (row.kind) {
      case platform::MenuRow::Kind::Separator:
        shown.kind = MenuLayoutRow::Kind::Separator;
        break;
      case platform::MenuRow::Kind::SectionHeader:
        shown.kind = MenuLayoutRow::Kind::Header;
        shown.title = row.title;
        shown.enabled = false;
        break;
      case platform::MenuRow::Kind::Item:
        shown.title = row.title;
        shown.subtitle = row.subtitle;
        shown.keyEquivalent = keyEquivalentText(row.keyEquivalent, row.keyModifiers);
        shown.enabled = row.enabled;
        shown.checked = row.checked;
        shown.hasSubmenu = !row.submenu.empty();
        shown.image = row.image;
        // A symbol the system does not have leaves the row without an image.
        if (!shown.image && platform::SystemSymbols().hasSymbol(row.imageName)) {
          auto symbol = std::make_shared<platform::Image>();
          symbol->kind = platform::Image::Kind::SystemSymbol;
          symbol->name = row.imageName;
          symbol->isTemplate = true;
          shown.image = symbol;
        }
        break;
    }
    rows.push_back(std::move(shown));
  }
  return finish(std::move(rows), textWidth, dark, model.minimumWidth, maximumWidth);
}

MenuLayout layOutMenu(const std::vector<MenuRow>& rows, const MenuTextWidth& textWidth, bool dark,
                      double maximumWidth) {
  std::vector<MenuLayoutRow> shownRows;
  for (const auto& row : rows) {
    MenuLayoutRow shown;
    shown.kind = row.separator ? MenuLayoutRow::Kind::Separator : MenuLayoutRow::Kind::Item;
    shown.title = row.title;
    shown.enabled = !row.separator && row.enabled;
    shownRows.push_back(std::move(shown));
  }
  return finish(std::move(shownRows), textWidth, dark, 0, maximumWidth);
}

std::optional<std::size_t> nextChoosableRow(const MenuLayout& layout,
                                            std::optional<std::size_t> from, int step) {
  const auto count = layout.rows.size();
  if (count == 0) return std::nullopt;
  std::size_t index = from ? *from : (step > 0 ? count - 1 : 0);
  for (std::size_t tried = 0; tried < count; ++tried) {
    index = step > 0 ? (index + 1) % count : (index + count - 1) % count;
    if (layout.rows[index].choosable()) return index;
  }
  return std::nullopt;
}

}  // namespace tucklet::sim
