#include "panel/access_panel_view.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

#include "panel/access_panel.h"
#include "panel/panel_drawing.h"

namespace tucklet {

namespace {

namespace pl = panel_layout;
namespace pd = panel_drawing;

// A widget that never paints its own ground: the popover's material shows through.
void seeThrough(QWidget* widget) {
  widget->setAutoFillBackground(false);
  widget->setAttribute(Qt::WA_TranslucentBackground, true);
}

// A row or cell that stands for one item: named for accessibility and in its tool tip, never
// taking the focus from the search field, and opening the item when pressed.
void standFor(QAbstractButton& button, AccessPanel& panel, const PanelCandidate& candidate) {
  button.setFocusPolicy(Qt::NoFocus);
  button.setAccessibleName(QString::fromStdString(candidate.displayName));
  button.setToolTip(QString::fromStdString(candidate.displayName));
  QObject::connect(&button, &QAbstractButton::clicked, &button,
                   [&panel, item = candidate.item] { panel.openFromPanel(item); });
}

class EmptyResult final : public QWidget {
 public:
  explicit EmptyResult(QWidget* parent) : QWidget(parent) {
    setFixedHeight(static_cast<int>(pl::kEmptyHeight));
    setAccessibleName("No matching items");
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = 30;
    const QRectF symbol(width() / 2.0 - side / 2, height() / 2.0 - side + 2, side, side);
    pd::paintIcon(painter, *platform::Image::symbol("magnifyingglass"), symbol,
                  pd::secondaryColor(this));
    painter.setFont(pd::font(14, QFont::DemiBold));
    painter.setPen(pd::secondaryColor(this));
    painter.drawText(QRectF(0, symbol.bottom() + 8, width(), 20), Qt::AlignHCenter | Qt::AlignTop,
                     "No matching items");
  }
};

// One match in the search results: icon, name and, below it, the application's name.
// A button to accessibility: its press (a single click, or the default action) opens the item
// as Return does for the selection.
class ResultRow final : public QAbstractButton {
 public:
  ResultRow(AccessPanel& panel, const PanelCandidate& candidate, bool selected, QWidget* parent)
      : QAbstractButton(parent), candidate_(candidate), selected_(selected) {
    setFixedHeight(static_cast<int>(pl::kRowHeight));
    standFor(*this, panel, candidate);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF row = QRectF(rect()).adjusted(6, 1, -6, -1);
    QColor name = pd::textColor(this), app = pd::secondaryColor(this);
    if (selected_) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(palette().color(QPalette::Highlight));
      painter.drawRoundedRect(row, 6, 6);
      name = QColor(255, 255, 255);
      app = QColor(255, 255, 255, 200);
    }
    const double left = row.left() + 8;
    const QRectF icon(left, row.center().y() - pl::kRowIcon / 2, pl::kRowIcon, pl::kRowIcon);
    pd::paintIcon(painter, *candidate_.icon, icon, name);
    const double textLeft = icon.right() + pl::kRowSpacing;
    const double textWidth = row.right() - 8 - textLeft;
    const QFont title = pd::font(13), caption = pd::font(10.5);
    painter.setFont(title);
    painter.setPen(name);
    painter.drawText(QRectF(textLeft, row.top() + 2, textWidth, 17),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(title).elidedText(QString::fromStdString(candidate_.displayName),
                                                     Qt::ElideRight, textWidth));
    painter.setFont(caption);
    painter.setPen(app);
    painter.drawText(QRectF(textLeft, row.top() + 18, textWidth, 13),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(caption).elidedText(QString::fromStdString(candidate_.appName),
                                                       Qt::ElideRight, textWidth));
  }

 private:
  const PanelCandidate& candidate_;
  bool selected_;
};

// One item of the overflow grid: its icon, 22 points, in a 40 × 32 borderless button.
class IconCell final : public QAbstractButton {
 public:
  IconCell(AccessPanel& panel, const PanelCandidate& candidate, bool highlighted, QWidget* parent)
      : QAbstractButton(parent), candidate_(candidate), highlighted_(highlighted) {
    setFixedSize(static_cast<int>(pl::kCellWidth), static_cast<int>(pl::kCellHeight));
    standFor(*this, panel, candidate);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Pressed, chosen from the keyboard, or under the pointer: a rounded plate behind the icon.
    if (highlighted_ || isDown() || underMouse()) {
      const bool keyboard = highlighted_ && !isDown();
      QColor fill = keyboard ? palette().color(QPalette::Highlight) : pd::textColor(this);
      fill.setAlpha(isDown() ? 40 : keyboard ? 70 : 22);
      painter.setPen(Qt::NoPen);
      painter.setBrush(fill);
      painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 7, 7);
    }
    const QRectF icon(width() / 2.0 - pl::kCellIcon / 2, height() / 2.0 - pl::kCellIcon / 2,
                      pl::kCellIcon, pl::kCellIcon);
    pd::paintIcon(painter, *candidate_.icon, icon, pd::textColor(this));
  }

 private:
  const PanelCandidate& candidate_;
  bool highlighted_;
};

// The grid's cells: six adaptive columns across the width inside 12-point margins, each cell
// centred in its column, rows `spacing` apart.
class IconGrid final : public QWidget {
 public:
  IconGrid(double spacing, QWidget* parent) : QWidget(parent), spacing_(spacing) {
    seeThrough(this);
  }
  void add(IconCell* cell) { cells_.push_back(cell); }
  int heightFor(std::size_t count) const {
    const auto rows = pl::gridRows(count);
    if (rows == 0) return 0;
    return static_cast<int>(
        std::ceil(2 * pl::kGridMargin + rows * pl::kCellHeight + (rows - 1) * spacing_));
  }
  QSize sizeHint() const override {
    return {static_cast<int>(pl::kWidth), heightFor(cells_.size())};
  }

 protected:
  void resizeEvent(QResizeEvent*) override {
    const double inner = width() - 2 * pl::kGridMargin;
    const int columns =
        std::max(1, std::min(pl::kGridColumns, static_cast<int>(inner / pl::kGridColumnMinimum)));
    const double column = inner / columns;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
      const auto row = i / static_cast<std::size_t>(columns);
      const auto col = i % static_cast<std::size_t>(columns);
      const double x = pl::kGridMargin + col * column + (column - pl::kCellWidth) / 2;
      const double y = pl::kGridMargin + row * (pl::kCellHeight + spacing_);
      cells_[i]->move(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    }
  }

 private:
  double spacing_;
  std::vector<IconCell*> cells_;
};

QScrollArea* scrollArea(QWidget* parent, double height) {
  auto* area = new QScrollArea(parent);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area->setFocusPolicy(Qt::NoFocus);
  area->setFixedHeight(static_cast<int>(std::lround(height)));
  seeThrough(area);
  seeThrough(area->viewport());
  // Thin overlay-style scrollers, without arrows or a track.
  area->verticalScrollBar()->setStyleSheet(
      "QScrollBar:vertical { width: 9px; background: transparent; margin: 3px 2px 3px 0; }"
      "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 150); border-radius: 3px;"
      " min-height: 24px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
  return area;
}

class Divider final : public QWidget {
 public:
  explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), pd::isDark(this) ? QColor(255, 255, 255, 30) : QColor(0, 0, 0, 26));
  }
};

}  // namespace

AccessPanelView::AccessPanelView(AccessPanel& panel, double overflowSpacing,
                                 std::function<void(std::function<void()>)> defer)
    : panel_(panel), overflowSpacing_(overflowSpacing) {
  setFixedWidth(static_cast<int>(pl::kWidth));
  setFont(pd::font(13));
  seeThrough(this);
  setAccessibleName(panel_.state() && panel_.state()->search() ? "Search menu bar items"
                                                               : "Menu bar items");
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  const bool search = panel_.state() && panel_.state()->search();
  if (search) {
    auto* box = new QWidget(this);
    seeThrough(box);
    auto* boxLayout = new QVBoxLayout(box);
    const int pad = static_cast<int>(pl::kFieldPadding);
    boxLayout->setContentsMargins(pad, pad, pad, pad);
    field_ = itemSearch().makeField(box, std::move(defer));
    boxLayout->addWidget(field_);
    root->addWidget(box);
  }

  contentSlot_ = new QWidget(this);
  seeThrough(contentSlot_);
  auto* slotLayout = new QVBoxLayout(contentSlot_);
  slotLayout->setContentsMargins(0, 0, 0, 0);
  slotLayout->setSpacing(0);
  root->addWidget(contentSlot_);
  root->addWidget(new Divider(this));

  auto* footer = new QWidget(this);
  seeThrough(footer);
  auto* footerLayout = new QHBoxLayout(footer);
  const int pad = static_cast<int>(pl::kFooterPadding);
  footerLayout->setContentsMargins(pad + 2, pad, pad, pad);
  auto* hint = new QLabel(search ? "↑ ↓ to select · Return to open" : "Menu bar items", footer);
  hint->setFont(pd::font(11));
  hint->setForegroundRole(QPalette::PlaceholderText);
  footerLayout->addWidget(hint);
  footerLayout->addStretch(1);
  auto* settings = new QPushButton("Settings…", footer);
  settings->setFlat(true);
  settings->setFocusPolicy(Qt::NoFocus);
  settings->setFont(pd::font(12));
  settings->setCursor(Qt::PointingHandCursor);
  connect(settings, &QPushButton::clicked, this, [this] { panel_.settingsButton(); });
  footerLayout->addWidget(settings);
  root->addWidget(footer);

  applyAppearance();
  refresh();
}

QWidget* AccessPanelView::buildContent() {
  selectedRow_ = nullptr;
  const auto* state = panel_.state();
  if (!state || state->matches().empty()) return new EmptyResult(contentSlot_);
  const auto& candidates = state->candidates();
  const auto& matches = state->matches();

  if (state->search()) {
    auto* area = scrollArea(contentSlot_, pl::listHeight(matches.size()));
    auto* list = new QWidget(area);
    seeThrough(list);
    auto* layout = new QVBoxLayout(list);
    const int pad = static_cast<int>(pl::kListPadding);
    layout->setContentsMargins(0, pad, 0, pad);
    layout->setSpacing(0);
    const auto selected = state->selectedMatch();
    for (std::size_t i = 0; i < matches.size(); ++i) {
      auto* row = new ResultRow(panel_, candidates[matches[i]], selected == i, list);
      if (selected == i) selectedRow_ = row;
      layout->addWidget(row);
    }
    layout->addStretch(1);
    area->setWidget(list);
    return area;
  }

  auto* area = scrollArea(contentSlot_, pl::gridHeight(matches.size()));
  auto* grid = new IconGrid(overflowSpacing_, area);
  const auto selected = state->movedByKeys() ? state->selectedMatch() : std::nullopt;
  for (std::size_t i = 0; i < matches.size(); ++i)
    grid->add(new IconCell(panel_, candidates[matches[i]], selected == i, grid));
  grid->setMinimumHeight(grid->heightFor(matches.size()));
  area->setWidget(grid);
  return area;
}

void AccessPanelView::refresh() {
  if (field_) itemSearch().updateField(*field_);
  if (content_) {
    content_->hide();
    contentSlot_->layout()->removeWidget(content_);
    content_->deleteLater();
  }
  content_ = buildContent();
  contentSlot_->layout()->addWidget(content_);
  content_->show();
  // Laid out now rather than when the event loop comes round: the window takes the new size at
  // once, and the panel is drawn as it is.
  layout()->activate();
  adjustSize();
  // The selected row stays in sight, once the list knows its height.
  if (auto* area = qobject_cast<QScrollArea*>(content_); area && selectedRow_) {
    area->widget()->adjustSize();
    area->ensureWidgetVisible(selectedRow_, 0, static_cast<int>(pl::kListPadding));
  }
}

NativeItemSearch AccessPanelView::itemSearch() const {
  return {
      .query = [this] { return panel_.state() ? panel_.state()->query() : std::string(); },
      .setQuery = [this](const std::string& query) { panel_.setQuery(query); },
      .move = [this](int delta) { panel_.move(delta); },
      .submit = [this] { panel_.submit(); },
      .cancel = [this] { panel_.cancel(); },
  };
}

void AccessPanelView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Down:
      panel_.move(+1);
      return;
    case Qt::Key_Up:
      panel_.move(-1);
      return;
    case Qt::Key_Escape:
      panel_.cancel();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void AccessPanelView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) applyAppearance();
  QWidget::changeEvent(event);
}

void AccessPanelView::applyAppearance() {
  const bool dark = pd::isDark(this);
  if (field_) {
    QPalette p = field_->palette();
    p.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(p);
  }
  for (auto* button : findChildren<QPushButton*>()) {
    button->setStyleSheet(
        QString(
            "QPushButton { border: none; background: transparent; padding: 2px 4px; color: %1; }"
            "QPushButton:pressed { color: %2; }")
            .arg(dark ? "rgba(255,255,255,222)" : "rgba(0,0,0,217)",
                 dark ? "rgba(255,255,255,140)" : "rgba(0,0,0,128)"));
  }
  update();
}

}  // namespace tucklet
