#include "panel/native_item_search.h"

#include <QKeyEvent>
#include <QPainter>

#include "panel/panel_drawing.h"
#include "panel/panel_state.h"

namespace tucklet {

namespace {

namespace pd = panel_drawing;
constexpr const char* kSearchLabel = "Search menu bar items";

NativeItemSearch::Command commandFor(int key) {
  switch (key) {
    case Qt::Key_Down:
      return NativeItemSearch::Command::MoveDown;
    case Qt::Key_Up:
      return NativeItemSearch::Command::MoveUp;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return NativeItemSearch::Command::InsertNewline;
    case Qt::Key_Escape:
      return NativeItemSearch::Command::CancelOperation;
    default:
      return NativeItemSearch::Command::Other;
  }
}

}  // namespace

NativeItemSearch::SearchField* NativeItemSearch::makeField(
    QWidget* parent, std::function<void(std::function<void()>)> defer) const {
  auto* field = new SearchField(parent, std::move(defer));
  field->setPlaceholderText(kSearchLabel);
  field->setAccessibleName(kSearchLabel);
  field->setCoordinator(std::make_unique<Coordinator>(*this));
  updateField(*field);
  return field;
}

void NativeItemSearch::updateField(SearchField& field) const {
  field.coordinator().parent = *this;
  const auto text = QString::fromStdString(query ? query() : std::string());
  if (field.text() != text) field.setText(text);
}

void NativeItemSearch::Coordinator::textDidChange(const QString& text) const {
  if (parent.setQuery) parent.setQuery(text.toStdString());
}

bool NativeItemSearch::Coordinator::doCommand(Command command) const {
  const auto run = [](const auto& f, auto... args) {
    if (f) f(args...);
    return true;
  };
  switch (command) {
    case Command::MoveDown:
      return run(parent.move, +1);
    case Command::MoveUp:
      return run(parent.move, -1);
    case Command::InsertNewline:
      return run(parent.submit);
    case Command::CancelOperation:
      return run(parent.cancel);
    case Command::Other:
      break;
  }
  return false;
}

NativeItemSearch::SearchField::SearchField(QWidget* parent,
                                           std::function<void(std::function<void()>)> defer)
    : QLineEdit(parent), defer_(std::move(defer)) {
  setFixedHeight(static_cast<int>(panel_layout::kFieldHeight));
  setFont(pd::font(13));
  setTextMargins(21, 0, 6, 0);
  setFrame(false);
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (coordinator_) coordinator_->textDidChange(text);
  });
}

void NativeItemSearch::SearchField::setCoordinator(std::unique_ptr<Coordinator> coordinator) {
  coordinator_ = std::move(coordinator);
}

void NativeItemSearch::SearchField::keyPressEvent(QKeyEvent* event) {
  if (coordinator_ && coordinator_->doCommand(commandFor(event->key()))) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void NativeItemSearch::SearchField::showEvent(QShowEvent* event) {
  QLineEdit::showEvent(event);
  // The window cannot take a first responder while it is being put on screen: ask a turn later,
  // and only if the field is still there.
  if (!defer_) return;
  defer_([field = QPointer<SearchField>(this)] {
    if (field) {
      field->setFocus(Qt::OtherFocusReason);
      field->update();
    }
  });
}

void NativeItemSearch::SearchField::paintEvent(QPaintEvent* event) {
  {
    // The field's rounded ground, and the ring a focused field wears.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = pd::isDark(this);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(dark ? QColor(255, 255, 255, 38) : QColor(0, 0, 0, 38), 1));
    painter.setBrush(dark ? QColor(255, 255, 255, 20) : QColor(255, 255, 255));
    painter.drawRoundedRect(box, 6, 6);
    if (window()->focusWidget() == this) {
      QColor ring = palette().color(QPalette::Highlight);
      ring.setAlpha(150);
      painter.setPen(QPen(ring, 2.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(QRectF(rect()).adjusted(1.25, 1.25, -1.25, -1.25), 5.5, 5.5);
    }
    pd::paintIcon(painter, *platform::Image::symbol("magnifyingglass"),
                  QRectF(6, height() / 2.0 - 6.5, 13, 13), pd::secondaryColor(this));
  }
  QLineEdit::paintEvent(event);
  // Qt draws the caret only in a window the display has activated; this window is the simulated
  // desktop's, so the focused field draws its caret itself.
  if (!hasFocus() && window()->focusWidget() == this) {
    QPainter painter(this);
    const double x = cursorRect().center().x() + 1.5;
    painter.fillRect(QRectF(x - 0.75, height() / 2.0 - 7.5, 1.5, 15), pd::textColor(this));
  }
}

}  // namespace tucklet
