#include "ui/settings/widgets/settings_window_widget.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "features/widgets/shortcut_recorder.h"
#include "platform/qt/gui/window_picture.h"
#include "platform/qt/widgets/widget_window.h"
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
// An ordinary window's title bar, above its content.
constexpr double titleBarHeight = 28;

bool anySliderHeld(const QWidget* root) {
  for (const auto* slider : root->findChildren<QSlider*>())
    if (slider->isSliderDown()) return true;
  return false;
}

// "x y w h" as four integers, the size at least `minimum`; nothing otherwise.
std::optional<QRect> storedFrame(const platform::UserDefaults& defaults, QSize minimum) {
  const auto stored = defaults.objectForKey(frameKey);
  if (!stored || !stored->isString()) return std::nullopt;
  const auto parts = QString::fromStdString(stored->asString()).split(' ');
  if (parts.size() != 4) return std::nullopt;
  bool ok[4];
  const int x = parts[0].toInt(&ok[0]), y = parts[1].toInt(&ok[1]);
  const int w = parts[2].toInt(&ok[2]), h = parts[3].toInt(&ok[3]);
  if (!(ok[0] && ok[1] && ok[2] && ok[3]) || w < minimum.width() || h < minimum.height())
    return std::nullopt;
  return QRect(x, y, w, h);
}

using RecorderButton = ShortcutRecorder::RecorderButton;

// The recorder buttons have no meta-object of their own: found among the push buttons.
RecorderButton* recorderNamed(const QWidget* root, const QString& name) {
  if (!root) return nullptr;
  for (auto* button : root->findChildren<QPushButton*>(name))
    if (auto* recorder = dynamic_cast<RecorderButton*>(button)) return recorder;
  return nullptr;
}

RecorderButton* recordingButton(const QWidget* root) {
  if (!root) return nullptr;
  for (auto* button : root->findChildren<QPushButton*>())
    if (auto* recorder = dynamic_cast<RecorderButton*>(button); recorder && recorder->isRecording())
      return recorder;
  return nullptr;
}

}  // namespace

// The window's widget as the content of a platform window: input, key state and the palette go
// through `WidgetWindowContent`; the size is the widget's own (not its size hint), the picture is
// the window's as a person sees it, and a change of the system's appearance builds the pane again.
class HostedSettingsContent final : public platform::WindowContent, public platform::WindowPicture {
 public:
  HostedSettingsContent(SettingsWindowWidget* window, std::function<void()> appearanceChanged)
      : window_(window), inner_(window), appearanceChanged_(std::move(appearanceChanged)) {}

  platform::Size preferredSize() override {
    if (!window_) return {};
    return {static_cast<double>(window_->width()), static_cast<double>(window_->height())};
  }
  void mouseEvent(const platform::InputEvent& event, platform::Point local) override {
    // A press anywhere but on the recorder ends recording, as its losing the focus would in a
    // window of Qt's own (the platform's windows are not Qt's active window: no focus events).
    if (window_ && (event.type == platform::EventType::LeftMouseDown ||
                    event.type == platform::EventType::RightMouseDown)) {
      if (auto* recording = recordingButton(window_)) {
        const QPoint at = recording->mapFrom(window_.data(), QPointF(local.x, local.y).toPoint());
        if (!recording->rect().contains(at)) recording->stopRecording();
      }
    }
    inner_.mouseEvent(event, local);
  }
  void keyEvent(const platform::InputEvent& event) override {
    // Command-W closes the window, unless a shortcut is being recorded: then it is the shortcut.
    constexpr std::uint16_t keyW = 13;
    if (window_ && event.type == platform::EventType::KeyDown && event.keyCode == keyW &&
        (event.modifiers & (platform::ModifierShift | platform::ModifierControl |
                            platform::ModifierOption | platform::ModifierCommand)) ==
            platform::ModifierCommand &&
        !recordingButton(window_)) {
      window_->close();
      return;
    }
    inner_.keyEvent(event);
  }
  void keyChanged(bool isKey) override {
    inner_.keyChanged(isKey);
    // The keyboard went to another window: nothing to record any more.
    if (!isKey && window_)
      if (auto* recording = recordingButton(window_)) recording->stopRecording();
  }
  void appearanceChanged(bool dark) override {
    const bool first = !told_;
    told_ = true;
    const bool changed = dark != inner_.isDark();
    inner_.appearanceChanged(dark);
    if (!first && changed && appearanceChanged_) appearanceChanged_();
  }
  QImage picture(double scale) override { return window_ ? window_->picture(scale) : QImage(); }
  std::uint64_t revision() const override { return inner_.revision(); }

 private:
  QPointer<SettingsWindowWidget> window_;
  platform::WidgetWindowContent inner_;
  std::function<void()> appearanceChanged_;
  bool told_ = false;
};

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
  scroll_->setObjectName("pane");
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  paneColumn_->addWidget(scroll_, 1);
  split->addWidget(pane, 1);

  changed_ = context_.window.changed.connect([this] { scheduleRefresh(); });
  refresh();
  resize(contentWidth, contentHeight);
  if (!hosted()) restoreFrame();
}

SettingsWindowWidget::~SettingsWindowWidget() {
  host_.reset();
  content_.reset();
}

bool SettingsWindowWidget::hosted() const {
  return context_.platform.windows != nullptr;
}

void SettingsWindowWidget::showAndMakeKey() {
  if (!hosted()) {
    if (refreshPending_ || !isVisible()) refresh();
    show();
    raise();
    activateWindow();
    return;
  }
  if (refreshPending_ || !host_) refresh();
  if (host_ && !host_->isOpen()) dropHostWindow();
  if (!host_) openHostWindow();
  if (host_) host_->makeKey();
}

void SettingsWindowWidget::orderOut() {
  if (hosted())
    dropHostWindow();
  else
    hide();
}

void SettingsWindowWidget::openHostWindow() {
  // The remembered frame (content, screen coordinates, y up) when it is still on a screen; else
  // the default size centred on the main screen, below the menu bar.
  restoring_ = true;
  const auto screens = context_.platform.screens.screens();
  std::optional<platform::Point> topLeft;
  if (const auto frame = storedFrame(context_.platform.defaults, minimumSize())) {
    const platform::Rect wanted{static_cast<double>(frame->x()), static_cast<double>(frame->y()),
                                static_cast<double>(frame->width()),
                                static_cast<double>(frame->height())};
    for (const auto& screen : screens)
      if (screen.frame.intersects(wanted)) topLeft = platform::Point{wanted.x, wanted.maxY()};
    if (topLeft) resize(frame->size());
  }
  if (!topLeft && !screens.empty()) {
    const auto& visible = screens.front().visibleFrame;
    const double whole = height() + titleBarHeight;
    const double windowTop = std::min(visible.y + (visible.height + whole) / 2, visible.maxY());
    topLeft = platform::Point{std::round(visible.x + (visible.width - width()) / 2),
                              std::round(windowTop - titleBarHeight)};
  }
  restoring_ = false;
  if (!topLeft) return;

  const auto serial = ++hostSerial_;
  QPointer<SettingsWindowWidget> self(this);
  // One content for the widget's life: an earlier window's content may outlive its window in
  // someone's hands, and must not hide the widget when it goes.
  if (!content_)
    content_ = std::make_shared<HostedSettingsContent>(this, [self] {
      if (self) self->scheduleRefresh();
    });
  show();
  host_ = context_.platform.windows->openWindow(
      content_, *topLeft,
      {.title = "tucklet",
       .appearance = platform::MenuAppearance::System,
       .layer = 0,
       .transient = false},
      [self, serial] {
        // The user closed it (the title bar's close button): it is ordered out.
        if (!self || serial != self->hostSerial_ || !self->host_) return;
        self->dropHostWindow();
        if (self->closed_) self->closed_();
      });
  if (!host_) {
    hide();
    return;
  }
  saveFrame();
}

void SettingsWindowWidget::dropHostWindow() {
  if (auto* recording = recordingButton(this)) recording->stopRecording();
  ++hostSerial_;
  host_.reset();
  hide();
}

void SettingsWindowWidget::popUpMenu(PopUpButton& picker) {
  const auto frame = host_ ? host_->contentFrame() : std::nullopt;
  if (!frame) return;
  platform::MenuModel menu;
  menu.minimumWidth = picker.width();
  QPointer<PopUpButton> target(&picker);
  for (int i = 0; i < picker.count(); ++i) {
    platform::MenuRow row;
    row.title = picker.itemText(i).toStdString();
    row.checked = i == picker.currentIndex();
    row.action = [target, i] {
      // The pane may have been built again while the menu was open.
      if (!target) return;
      target->setCurrentIndex(i);
      Q_EMIT target->activated(i);
    };
    menu.rows.push_back(std::move(row));
  }
  // Below the picker, its left edges in line.
  const QPoint corner = picker.mapTo(this, QPoint(0, picker.height()));
  context_.platform.menus.popUpAt(menu, {frame->x + corner.x(), frame->maxY() - corner.y()}, {},
                                  {});
}

void SettingsWindowWidget::closeEvent(QCloseEvent* event) {
  // Closing only orders the window out; it is made once.
  event->ignore();
  if (hosted())
    dropHostWindow();
  else
    hide();
  if (closed_) closed_();
}

void SettingsWindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!hosted()) saveFrame();
}

void SettingsWindowWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (host_ && !restoring_) host_->contentSizeChanged();
  saveFrame();
}

void SettingsWindowWidget::saveFrame() {
  if (restoring_) return;
  QRect frame;
  if (hosted()) {
    const auto content = host_ ? host_->contentFrame() : std::nullopt;
    if (!content) return;
    frame =
        QRect(static_cast<int>(std::lround(content->x)), static_cast<int>(std::lround(content->y)),
              static_cast<int>(std::lround(content->width)),
              static_cast<int>(std::lround(content->height)));
  } else {
    if (!isVisible()) return;
    frame = geometry();
  }
  context_.platform.defaults.setObject(frameKey, QString("%1 %2 %3 %4")
                                                     .arg(frame.x())
                                                     .arg(frame.y())
                                                     .arg(frame.width())
                                                     .arg(frame.height())
                                                     .toStdString());
}

void SettingsWindowWidget::restoreFrame() {
  restoring_ = true;
  bool placed = false;
  if (const auto frame = storedFrame(context_.platform.defaults, minimumSize())) {
    setGeometry(*frame);
    placed = true;
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
        QObject::connect(
            slider, &QSlider::sliderReleased, this, [this] { scheduleRefresh(); },
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
  if (auto* focused = focusWidget(); focused && isAncestorOf(focused)) {
    focusName = focused->objectName();
    if (auto* field = dynamic_cast<QLineEdit*>(focused)) cursor = field->cursorPosition();
  }
  const int scrolled = scroll_->verticalScrollBar()->value();
  const QString paneKey = qs(context_.window.settingsTab());
  // A shortcut being recorded goes on recording in the new pane's recorder of the same shortcut.
  QString recordingName;
  if (auto* recording = recordingButton(scroll_->widget())) {
    recordingName = recording->objectName();
    recording->handOver();
  }

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
  // On the platform, pickers pop their entries up as the platform's menus.
  if (hosted()) {
    for (auto* box : content->findChildren<QComboBox*>())
      if (auto* picker = dynamic_cast<PopUpButton*>(box))
        picker->popUpMenu = [this](PopUpButton& p) { popUpMenu(p); };
  }
  if (!recordingName.isEmpty()) {
    auto* again = paneKey == lastPane_ ? recorderNamed(content, recordingName) : nullptr;
    if (again)
      again->continueRecording();
    else if (context_.recordingChanged)
      context_.recordingChanged(false);  // its shortcut is gone, or the pane is another
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
  // Widgets draw themselves at whole pixel densities only (at 0.97 they would draw at 1 and
  // overflow the picture): drawn at the next whole density, then scaled down smoothly.
  const double drawn = std::max(1.0, std::ceil(ratio));
  QImage image(size() * drawn, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(drawn);
  image.fill(theme_.window);
  {
    QPainter painter(&image);
    render(&painter);
  }
  if (drawn == ratio) return image;
  QImage scaled = image.scaled((QSizeF(size()) * ratio).toSize(), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  return scaled;
}

SettingsViewFactory makeSettingsViews(std::function<bool()> dark) {
  return [dark](SettingsContext& context, std::function<void()> closed) {
    return std::unique_ptr<SettingsWindowView>(
        new SettingsWindowWidget(context, std::move(closed), dark));
  };
}

}  // namespace tucklet::settings_ui
