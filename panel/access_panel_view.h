// The access panel drawn with Qt Widgets, 380 points wide: in search mode the search field (24
// points high, 12 around it) over the list of matches, in browse mode the grid of icons; then a
// divider and the footer with its hint and the "Settings…" button. It draws the panel's state and
// hands keys and clicks back to the panel; it never changes the state itself.
#pragma once

#include <QWidget>

#include <functional>

#include "panel/native_item_search.h"

namespace tucklet {

class AccessPanel;

class AccessPanelView final : public QWidget {
 public:
  // `defer` runs work one turn of the main queue later (the field's focus request).
  AccessPanelView(AccessPanel& panel, double overflowSpacing,
                  std::function<void(std::function<void()>)> defer);

  // Draws the panel's state again: the matches, the selection, the sizes.
  void refresh();
  // The search field (search mode), else null.
  NativeItemSearch::SearchField* field() const { return field_; }
  // The part between the field and the footer: the grid, the list or the empty result.
  QWidget* contentArea() const { return content_; }

 protected:
  // Both modes: the arrow keys move the selection, Escape closes the panel.
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QWidget* buildContent();
  // The field's description, bound to the panel's query and commands.
  NativeItemSearch itemSearch() const;
  void applyAppearance();

  AccessPanel& panel_;
  const double overflowSpacing_;
  NativeItemSearch::SearchField* field_ = nullptr;
  QWidget* content_ = nullptr;
  QWidget* contentSlot_ = nullptr;
  QWidget* selectedRow_ = nullptr;  // the search result drawn selected
};

}  // namespace tucklet
