#include "ui/settings/widgets/settings_window_widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/settings/settings_model.h"
#include "ui/settings/widgets/settings_panes.h"

namespace tucklet::settings_ui {

namespace {

constexpr int contentWidth = 860;
constexpr int contentHeight = 640;
constexpr int sidebarMinimum = 185;
constexpr int sidebarIdeal = 205;
constexpr int sidebarMaximum = 240;
const char* frameKey = "NSWindow Frame QuiverlySettings";

bool anySliderHeld(const QWidget* root) {
  for (const auto* slider : root->findChildren<QSlider*>())
    if (slider->isSliderDown()) return true;
  return false;
}

}  // namespace

SettingsWindowWidget::SettingsWindowWidget(SettingsContext& context, std::function<void()> closed,
                                           std::function<bool()> dark)
    : QWidget(nullptr, Qt::Window),
      context_(context),
      closed_(std::move(closed)),
      dark_(std::move(dark)),
      theme_(theme(dark_ && dark_())) {
  setWindowTitle("tucklet");
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMinimumSize(760, 540);

  auto* split = new QHBoxLayout(this);
  split->setContentsMargins(0, 0, 0, 0);
  split->setSpacing(0);

  sidebar_ = new QListWidget(this);
  sidebar_->setObjectName("sidebar");
  sidebar_->setMinimumWidth(sidebarMinimum);
  sidebar_->setMaximumWidth(sidebarMaximum);
  sidebar_->setFixedWidth(sidebarIdeal);
  sidebar_->setIconSize(QSize(16, 16));
  sidebar_->setFrameShape(QFrame::NoFrame);
  sidebar_->setFocusPolicy(Qt::NoFocus);
  sidebar_->setAccessibleName("Settings");
  split->addWidget(sidebar_);
  QObject::connect(sidebar_, &QListWidget::currentItemChanged, this,
                   [this](QListWidgetItem* current, QListWidgetItem*) {
                     // Clearing the selection leaves the tab as it was.
                     if (!current || restoring_) return;
                     const auto id = current->data(Qt::UserRole).toString().toStdString();
                     if (!id.empty()) context_.window.setSettingsTab(id);
                   });

  auto* pane = new QWidget(this);
  pane->setObjectName("paneColumn");
  paneColumn_ = new QVBoxLayout(pane);
  paneColumn_->setContentsMargins(0, 0, 0, 0);
  paneColumn_->setSpacing(0);
  title_ = new QLabel(pane);
  title_->setProperty("title", true);
  title_->setContentsMargins(24, 14, 24, 10);
  paneColumn_->addWidget(title_);
  scroll_ = new QScrollArea(pane);
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  paneColumn_->addWidget(scroll_, 1);
  split->addWidget(pane, 1);

  changed_ = context_.window.changed.connect([this] { scheduleRefresh(); });
  refresh();
  resize(contentWidth, contentHeight);
  restoreFrame();
}

SettingsWindowWidget::~SettingsWindowWidget() = default;

void SettingsWindowWidget::showAndMakeKey() {
  if (refreshPending_ || !isVisible()) refresh();
  show();
  raise();
  activateWindow();
}

void SettingsWindowWidget::orderOut() {
  hide();
}

void SettingsWindowWidget::closeEvent(QCloseEvent* event) {
  // Closing only orders the window out; it is made once.
  event->ignore();
  hide();
  if (closed_) closed_();
}

void SettingsWindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  saveFrame();
}

void SettingsWindowWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  saveFrame();
}

void SettingsWindowWidget::saveFrame() {
  if (restoring_ || !isVisible()) return;
  const auto g = geometry();
  context_.platform.defaults.setObject(
      frameKey, QString("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())
                    .toStdString());
}

void SettingsWindowWidget::restoreFrame() {
  restoring_ = true;
  const auto stored = context_.platform.defaults.objectForKey(frameKey);
  bool placed = false;
  if (stored && stored->isString()) {
    const auto parts = QString::fromStdString(stored->asString()).split(' ');
    if (parts.size() == 4) {
      bool ok[4];
      const int x = parts[0].toInt(&ok[0]), y = parts[1].toInt(&ok[1]);
      const int w = parts[2].toInt(&ok[2]), h = parts[3].toInt(&ok[3]);
      if (ok[0] && ok[1] && ok[2] && ok[3] && w >= minimumWidth() && h >= minimumHeight()) {
        setGeometry(x, y, w, h);
        placed = true;
      }
    }
  }
  if (!placed) {
    if (const auto* screen = QGuiApplication::primaryScreen()) {
      auto frame = geometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  restoring_ = false;
}

void SettingsWindowWidget::scheduleRefresh() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (!refreshPending_) return;
    // A slider being dragged keeps its pane until it is let go.
    if (anySliderHeld(this)) {
      refreshPending_ = false;
      for (auto* slider : findChildren<QSlider*>())
        QObject::connect(slider, &QSlider::sliderReleased, this, [this] { scheduleRefresh(); },
                         Qt::UniqueConnection);
      return;
    }
    refresh();
  });
}

void SettingsWindowWidget::refresh() {
  refreshPending_ = false;
  const bool dark = dark_ && dark_();
  theme_ = theme(dark);
  setStyleSheet(settings_ui::styleSheet(theme_) +
                QString("#sidebar { background: %1; border: none; padding: 8px 8px; }"
                        "#sidebar::item { border-radius: 6px; padding: 5px 6px; color: %2; }"
                        "#sidebar::item:selected { background: %3; color: white; }"
                        "#paneColumn { background: %4; }")
                    .arg(theme_.sidebar.name(), theme_.text.name(), theme_.accent.name(),
                         theme_.window.name()));
  rebuildSidebar();
  rebuildPane();
}

void SettingsWindowWidget::rebuildSidebar() {
  restoring_ = true;
  sidebar_->clear();
  const double ratio = 2.0;
  const auto& selected = context_.window.settingsTab();
  int section = 1;
  for (const auto& tab : settings::tabs(context_.preferences.setupComplete())) {
    if (tab.section != section) {
      section = tab.section;
      auto* gap = new QListWidgetItem(sidebar_);
      gap->setFlags(Qt::NoItemFlags);
      gap->setSizeHint(QSize(10, 14));
    }
    auto* row = new QListWidgetItem(sidebar_);
    row->setText(qs(tab.label));
    row->setData(Qt::UserRole, qs(tab.identifier));
    row->setSizeHint(QSize(sidebarIdeal - 16, 28));
    const bool isSelected = tab.identifier == selected;
    const auto tint = isSelected ? QColor(Qt::white) : theme_.accent;
    QIcon icon;
    icon.addPixmap(symbolPicture(tab.symbol, 16, tint, ratio), QIcon::Normal);
    icon.addPixmap(symbolPicture(tab.symbol, 16, QColor(Qt::white), ratio), QIcon::Selected);
    row->setIcon(icon);
    if (isSelected) sidebar_->setCurrentItem(row);
  }
  restoring_ = false;
}

void SettingsWindowWidget::rebuildPane() {
  const auto choice =
      settings::paneFor(context_.window.settingsTab(), context_.preferences.setupComplete());
  title_->setText(qs(choice.title));

  // What the person was doing: the focused field, its cursor, and how far the pane was scrolled.
  QString focusName;
  int cursor = -1;
  if (auto* focused = QApplication::focusWidget(); focused && isAncestorOf(focused)) {
    focusName = focused->objectName();
    if (auto* field = dynamic_cast<QLineEdit*>(focused)) cursor = field->cursorPosition();
  }
  const int scrolled = scroll_->verticalScrollBar()->value();
  const QString paneKey = qs(context_.window.settingsTab());

  auto* content = new QWidget;
  content->setObjectName("paneContent");
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(24, 4, 24, 20);
  column->setSpacing(18);
  buildPane(choice, context_, theme_, column);
  column->addStretch(1);

  auto* old = scroll_->takeWidget();
  scroll_->setWidget(content);
  if (old) old->deleteLater();
  if (paneKey == lastPane_) {
    scroll_->verticalScrollBar()->setValue(scrolled);
    if (!focusName.isEmpty()) {
      if (auto* again = content->findChild<QWidget*>(focusName)) {
        again->setFocus(Qt::OtherFocusReason);
        if (auto* field = dynamic_cast<QLineEdit*>(again); field && cursor >= 0)
          field->setCursorPosition(cursor);
      }
    }
  }
  lastPane_ = paneKey;
  rebuildBanner();
}

void SettingsWindowWidget::rebuildBanner() {
  if (banner_) {
    paneColumn_->removeWidget(banner_);
    banner_->deleteLater();
    banner_ = nullptr;
  }
  const auto state =
      settings::banner(context_.preferences.setupComplete(), context_.trusted && context_.trusted(),
                       context_.notice.message());
  if (!state.shown) return;
  banner_ = buildBanner(state, context_, theme_);
  paneColumn_->addWidget(banner_);
}

QImage SettingsWindowWidget::picture(double ratio) {
  QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(theme_.window);
  QPainter painter(&image);
  render(&painter);
  return image;
}

SettingsViewFactory makeSettingsViews(std::function<bool()> dark) {
  return [dark](SettingsContext& context, std::function<void()> closed) {
    return std::unique_ptr<SettingsWindowView>(
        new SettingsWindowWidget(context, std::move(closed), dark));
  };
}

}  // namespace tucklet::settings_ui
