#include "platform/qt/widgets/widget_window.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "platform/qt/gui/key_codes.h"

namespace tucklet::platform {

namespace {

Qt::KeyboardModifiers qtModifiers(std::uint32_t flags) {
  // Qt's convention for the Mac: Control is the Command key, Meta the Control key.
  Qt::KeyboardModifiers modifiers;
  if (flags & ModifierShift) modifiers |= Qt::ShiftModifier;
  if (flags & ModifierCommand) modifiers |= Qt::ControlModifier;
  if (flags & ModifierOption) modifiers |= Qt::AltModifier;
  if (flags & ModifierControl) modifiers |= Qt::MetaModifier;
  return modifiers;
}

// The widget a press at `pos` (in `window`) goes to: the deepest enabled child there.
QWidget* targetAt(QWidget* window, QPoint pos) {
  QWidget* child = window->childAt(pos);
  while (child && !child->isEnabled() && child != window)
    child = child->parentWidget();
  return child ? child : window;
}

}  // namespace

class WidgetWindowContent::RepaintWatch final : public QObject {
 public:
  explicit RepaintWatch(std::uint64_t& revision) : revision_(revision) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    // A child's update() asks its window to paint again.
    if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::UpdateLater ||
        event->type() == QEvent::LayoutRequest)
      ++revision_;
    return false;
  }

 private:
  std::uint64_t& revision_;
};

WidgetWindowContent::WidgetWindowContent(QWidget* widget)
    : widget_(widget), watch_(std::make_unique<RepaintWatch>(revision_)) {
  if (!widget_) return;
  widget_->installEventFilter(watch_.get());
  // Qt sees a shown window (layouts, polish, focus chains); the display never does: the platform
  // draws it where it belongs.
  widget_->setAttribute(Qt::WA_DontShowOnScreen, true);
  widget_->show();
}

WidgetWindowContent::~WidgetWindowContent() {
  if (!widget_) return;
  widget_->removeEventFilter(watch_.get());
  widget_->hide();
}

Size WidgetWindowContent::preferredSize() {
  QWidget* w = widget_.data();
  if (!w) return {};
  w->adjustSize();
  const QSize size = w->size();
  return {static_cast<double>(size.width()), static_cast<double>(size.height())};
}

void WidgetWindowContent::mouseEvent(const InputEvent& event, Point local) {
  if (!widget_) return;
  ++revision_;
  const QPointF windowPos(local.x, local.y);
  const QPoint pos = windowPos.toPoint();
  QEvent::Type type = QEvent::MouseMove;
  Qt::MouseButton button = Qt::NoButton;
  Qt::MouseButtons buttons = Qt::NoButton;
  QWidget* target = nullptr;
  switch (event.type) {
    case EventType::LeftMouseDown:
    case EventType::RightMouseDown:
      type = QEvent::MouseButtonPress;
      button = event.type == EventType::LeftMouseDown ? Qt::LeftButton : Qt::RightButton;
      buttons = button;
      target = targetAt(widget_, pos);
      pressed_ = target;
      pressedButton_ = button;
      // A click focuses what takes focus by click, as a click in a key window does.
      for (QWidget* w = target; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (w->focusPolicy() & Qt::ClickFocus) {
          w->setFocus(Qt::MouseFocusReason);
          break;
        }
      }
      break;
    case EventType::LeftMouseUp:
    case EventType::RightMouseUp:
      type = QEvent::MouseButtonRelease;
      button = event.type == EventType::LeftMouseUp ? Qt::LeftButton : Qt::RightButton;
      target = pressed_ ? pressed_.data() : targetAt(widget_, pos);
      pressed_ = nullptr;
      pressedButton_ = Qt::NoButton;
      break;
    case EventType::MouseMoved:
      // A drag: the move goes to what the press went to, with its button held.
      if (pressed_) {
        target = pressed_;
        buttons = pressedButton_;
      } else {
        target = targetAt(widget_, pos);
        hover(target, windowPos);
      }
      break;
    case EventType::ScrollWheel: {
      // Points of scrolling, positive upwards, as a wheel's eighths of a degree (15 points a
      // notch) and as pixels. Qt hands a wheel event it did not get from the system to its
      // receiver only: it travels up from the child under the pointer here, until one takes it.
      const QPoint pixels(static_cast<int>(std::lround(event.scrollDeltaX)),
                          static_cast<int>(std::lround(event.scrollDeltaY)));
      for (QWidget* w = targetAt(widget_, pos); w; w = w->parentWidget()) {
        QWheelEvent wheel(w->mapFrom(widget_, windowPos), widget_->mapToGlobal(windowPos), pixels,
                          pixels * 8, Qt::NoButton, qtModifiers(event.modifiers), Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(w, &wheel);
        if (wheel.isAccepted() || w == widget_) break;
      }
      return;
    }
    case EventType::LeftMouseDragged:
      buttons = Qt::LeftButton;
      target = pressed_ ? pressed_.data() : targetAt(widget_, pos);
      break;
    default:
      return;
  }
  const QPointF targetPos = target->mapFrom(widget_, windowPos);
  QMouseEvent mouse(type, targetPos, windowPos, widget_->mapToGlobal(windowPos), button, buttons,
                    qtModifiers(event.modifiers));
  QApplication::sendEvent(target, &mouse);
}

void WidgetWindowContent::mouseExited() {
  if (!widget_) return;
  ++revision_;
  hover(nullptr, {});
}

void WidgetWindowContent::hover(QWidget* target, QPointF windowPos) {
  if (hovered_ == target) return;
  const auto chain = [this](QWidget* w) {
    QList<QWidget*> widgets;
    for (; w; w = w == widget_ ? nullptr : w->parentWidget())
      widgets << w;
    return widgets;
  };
  const auto before = chain(hovered_), after = chain(target);
  for (QWidget* w : before) {
    if (after.contains(w)) continue;
    w->setAttribute(Qt::WA_UnderMouse, false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
    w->update();
  }
  for (QWidget* w : after) {
    if (before.contains(w)) continue;
    w->setAttribute(Qt::WA_UnderMouse, true);
    const QPointF local = w->mapFrom(widget_, windowPos);
    QEnterEvent enter(local, windowPos, widget_->mapToGlobal(windowPos));
    QApplication::sendEvent(w, &enter);
    w->update();
  }
  hovered_ = target;
}

void WidgetWindowContent::keyEvent(const InputEvent& event) {
  if (!widget_) return;
  ++revision_;
  if (event.type != EventType::KeyDown && event.type != EventType::KeyUp) return;
  const QString text = QString::fromStdString(event.characters);
  int key = qtKey(event.keyCode);
  if (key == 0 && !text.isEmpty()) key = text.at(0).toUpper().unicode();
  // A key pressed with no characters (a combination with Command, say) is still the key it is.
  if (key == 0) {
    const auto plain = QString::fromStdString(macCharactersIgnoringModifiers(event.keyCode));
    if (!plain.isEmpty()) key = plain.at(0).toUpper().unicode();
  }
  const bool down = event.type == EventType::KeyDown;
  // Keys that move or end something type no text.
  const QString typed =
      qtKey(event.keyCode) != 0 && event.keyCode != key_code::Space ? QString() : text;
  QKeyEvent keyEvent(down ? QEvent::KeyPress : QEvent::KeyRelease, key,
                     qtModifiers(event.modifiers), typed);
  QWidget* target = widget_->focusWidget();
  QApplication::sendEvent(target ? target : widget_.data(), &keyEvent);
}

void WidgetWindowContent::keyChanged(bool isKey) {
  key_ = isKey;
  ++revision_;
  if (!widget_) return;
  // Controls draw themselves active while their window is key.
  QEvent change(isKey ? QEvent::WindowActivate : QEvent::WindowDeactivate);
  QApplication::sendEvent(widget_, &change);
}

void WidgetWindowContent::appearanceChanged(bool dark) {
  dark_ = dark;
  ++revision_;
  if (widget_) widget_->setPalette(appearancePalette(dark));
}

QImage WidgetWindowContent::picture(double scale) {
  QWidget* w = widget_.data();
  if (!w) return {};
  const QSize pixels = (QSizeF(w->size()) * scale).toSize();
  if (pixels.isEmpty()) return {};
  // Widgets draw themselves at whole pixel densities only (at 0.97 they would draw at 1 and
  // overflow the picture): drawn at the next whole density, then scaled down smoothly.
  const double drawn = std::max(1.0, std::ceil(scale));
  QImage image((QSizeF(widget_->size()) * drawn).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(drawn);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  w->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.end();
  if (drawn == scale) return image;
  QImage scaled = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(scale);
  return scaled;
}

QPalette appearancePalette(bool dark) {
  QPalette p;
  const QColor text = dark ? QColor(255, 255, 255, 222) : QColor(0, 0, 0, 217);
  const QColor secondary = dark ? QColor(255, 255, 255, 140) : QColor(0, 0, 0, 128);
  const QColor window = dark ? QColor(40, 40, 42) : QColor(236, 236, 236);
  const QColor base = dark ? QColor(30, 30, 32) : QColor(255, 255, 255);
  const QColor button = dark ? QColor(70, 70, 72) : QColor(255, 255, 255);
  const QColor accent(10, 110, 230);
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Window, window);
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, base);
    p.setColor(group, QPalette::AlternateBase, window);
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::PlaceholderText, secondary);
    p.setColor(group, QPalette::Button, button);
    p.setColor(group, QPalette::ButtonText, text);
    p.setColor(group, QPalette::Highlight, accent);
    p.setColor(group, QPalette::HighlightedText, Qt::white);
    p.setColor(group, QPalette::Mid, dark ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 40));
    p.setColor(group, QPalette::Light, dark ? QColor(90, 90, 92) : Qt::white);
    p.setColor(group, QPalette::Dark, dark ? QColor(20, 20, 20) : QColor(160, 160, 160));
    p.setColor(group, QPalette::ToolTipBase, base);
    p.setColor(group, QPalette::ToolTipText, text);
  }
  p.setColor(QPalette::Disabled, QPalette::Text, secondary);
  p.setColor(QPalette::Disabled, QPalette::WindowText, secondary);
  p.setColor(QPalette::Disabled, QPalette::ButtonText, secondary);
  return p;
}

int qtKey(std::uint16_t keyCode) {
  switch (keyCode) {
    case key_code::Return:
      return Qt::Key_Return;
    case key_code::KeypadEnter:
      return Qt::Key_Enter;
    case key_code::Tab:
      return Qt::Key_Tab;
    case key_code::Space:
      return Qt::Key_Space;
    case key_code::Delete:
      return Qt::Key_Backspace;
    case key_code::Escape:
      return Qt::Key_Escape;
    case key_code::LeftArrow:
      return Qt::Key_Left;
    case key_code::RightArrow:
      return Qt::Key_Right;
    case key_code::DownArrow:
      return Qt::Key_Down;
    case key_code::UpArrow:
      return Qt::Key_Up;
    default:
      return 0;
  }
}

}  // namespace tucklet::platform
