// The building blocks of the settings panes in the platform's own look: grouped form sections with
// a header, rows and a footer; switches for toggles; captions; the light and dark colours; system
// symbols as crisp pictures.
#pragma once

#include <functional>
#include <string>

#include <QAbstractButton>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QString>

#include "platform/image.h"

class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace tucklet::settings_ui {

struct Theme {
  bool dark = false;
  QColor window;
  QColor sidebar;
  QColor section;  // a grouped section's background
  QColor separator;
  QColor text;
  QColor secondary;
  QColor accent;
  QColor destructive;
  QColor control;  // buttons, pickers and fields
  QColor controlBorder;
};

Theme theme(bool dark);
// The style sheet the window gives its controls in this theme.
QString styleSheet(const Theme& theme);

inline QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// A platform image at `points` square for a screen of `ratio` device pixels per point; symbols and
// templates in `tint`. Null when there is nothing to draw.
QPixmap picture(const platform::Image& image, double points, const QColor& tint, double ratio);
QPixmap symbolPicture(const std::string& name, double points, const QColor& tint, double ratio);

// A toggle drawn as the platform's switch; checked is on.
class Switch : public QAbstractButton {
 public:
  Switch(const Theme& theme, QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  Theme theme_;
};

// A pop-up button: the chosen entry with the platform's up and down chevrons at its right edge.
// Where the window shows its menus itself (`popUpMenu` set), a click pops its entries up as one of
// the platform's menus instead of Qt's list.
class PopUpButton : public QComboBox {
 public:
  explicit PopUpButton(const Theme& theme, QWidget* parent = nullptr);

  std::function<void(PopUpButton&)> popUpMenu;
  void showPopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Theme theme_;
};

// A grouped form section: optional header above a rounded box of rows, optional footer below.
class Section : public QWidget {
 public:
  Section(const Theme& theme, const QString& header = {}, QWidget* parent = nullptr);

  // Adds a row (a separator line goes between rows).
  void addRow(QWidget* row);
  // A row with a label on the left and `control` on the right.
  QWidget* addLabeledRow(const QString& label, QWidget* control);
  // A row of text, wrapped; secondary text is the softer colour.
  QLabel* addTextRow(const QString& text, bool secondary = false);
  // A toggle row: `label` and a switch; `changed` runs when the user flips it.
  Switch* addToggle(const QString& label, bool on, std::function<void(bool)> changed);
  void setFooter(const QString& text);

  const Theme& theme() const { return theme_; }

 private:
  Theme theme_;
  QFrame* box_ = nullptr;
  QVBoxLayout* rows_ = nullptr;
  QVBoxLayout* outer_ = nullptr;
  int count_ = 0;
};

// A caption in the secondary colour, wrapped.
QLabel* caption(const Theme& theme, const QString& text, QWidget* parent = nullptr);
// A push button; `role` "destructive" colours it red, "prominent" fills it with the accent.
QPushButton* button(const QString& title, std::function<void()> pressed, const QString& role = {});

}  // namespace tucklet::settings_ui
