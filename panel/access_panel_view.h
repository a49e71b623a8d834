// The access panel drawn with Qt Widgets, 380 points wide: in search mode the search field (24
// points high, 12 around it) over the list of matches, in browse mode the grid of icons; then a
// divider and the footer with its hint and the "Settings…" button. It draws the panel's state and
// hands keys and clicks back to the panel; it never changes the state itself.
#pragma once

#include <QLineEdit>
#include <QWidget>

namespace tucklet {

class AccessPanel;

// The search field: the arrow keys move the selection, Return opens it and Escape closes the
// panel; every other key edits the text as in any search field.
class SearchField final : public QLineEdit {
 public:
  explicit SearchField(AccessPanel& panel, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  AccessPanel& panel_;
};

class AccessPanelView final : public QWidget {
 public:
  AccessPanelView(AccessPanel& panel, double overflowSpacing);

  // Draws the panel's state again: the matches, the selection, the sizes.
  void refresh();
  // Gives the search field the keyboard focus (search mode).
  void focusField();

  SearchField* field() const { return field_; }
  // The part between the field and the footer: the grid, the list or the empty result.
  QWidget* contentArea() const { return content_; }

 protected:
  // Both modes: the arrow keys move the selection, Escape closes the panel.
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QWidget* buildContent();
  void applyAppearance();

  AccessPanel& panel_;
  const double overflowSpacing_;
  SearchField* field_ = nullptr;
  QWidget* content_ = nullptr;
  QWidget* contentSlot_ = nullptr;
  QWidget* selectedRow_ = nullptr;  // the search result drawn selected
};

}  // namespace tucklet
