#include "platform/updates/qt_update_alerts.h"

#include <cstdio>

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tucklet::platform::updates {

namespace {

constexpr int iconSize = 64;

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

QString megabytes(std::uint64_t bytes) {
  return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

// Release notes come from the network: shown as a document, never allowed to pull in anything
// else (images, style sheets, local files).
class NotesView final : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int, const QUrl&) override { return {}; }
};

QIcon iconFor(UpdateMessageKind kind) {
  auto* style = QApplication::style();
  switch (kind) {
    case UpdateMessageKind::Error:
      return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case UpdateMessageKind::Information:
      return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case UpdateMessageKind::Success:
      break;
  }
  return QIcon::fromTheme(QStringLiteral("system-software-update"),
                          style->standardIcon(QStyle::SP_DialogApplyButton));
}

QIcon applicationIcon() {
  return QIcon::fromTheme(QStringLiteral("system-software-update"),
                          QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
}

}  // namespace

// The one window of the session and its answer. The answer is taken before the window goes, so
// an answer that shows the next window (or closes everything) finds nothing half-torn.
struct QtUpdateAlerts::Shown {
  QPointer<QDialog> dialog;
  std::function<void()> onClose;  // the window was closed by the user (Escape, title bar)
  QProgressBar* progress = nullptr;
  QLabel* progressText = nullptr;
  QLabel* progressTitle = nullptr;
  // The download's cancel, replaced with each progress report; the Cancel button reads it.
  std::shared_ptr<std::function<void()>> progressCancel;

  void dismiss() {
    onClose = {};
    progressCancel.reset();
    progress = nullptr;
    progressText = nullptr;
    progressTitle = nullptr;
    if (auto* window = dialog.data()) {
      dialog.clear();
      QObject::disconnect(window, nullptr, nullptr, nullptr);
      window->hide();
      window->deleteLater();
    }
  }

  // Builds a dialog with the icon on the left and `content` on the right; the caller adds
  // buttons to `buttons`.
  QDialog* open(const QString& windowTitle, const QIcon& icon, QVBoxLayout*& content,
                QHBoxLayout*& buttons) {
    dismiss();
    auto* window = new QDialog;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(windowTitle);
    auto* outer = new QHBoxLayout(window);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(16);
    auto* iconLabel = new QLabel;
    iconLabel->setPixmap(icon.pixmap(iconSize, iconSize));
    iconLabel->setAlignment(Qt::AlignTop);
    outer->addWidget(iconLabel, 0, Qt::AlignTop);
    content = new QVBoxLayout;
    content->setSpacing(8);
    outer->addLayout(content, 1);
    buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    QObject::connect(window, &QDialog::rejected, window, [this] {
      auto closed = std::exchange(onClose, {});
      dismiss();
      if (closed) closed();
    });
    dialog = window;
    return window;
  }

  // A button whose click closes the window and then answers.
  QPushButton* button(QHBoxLayout* row, const QString& title, std::function<void()> answer) {
    auto* pushButton = new QPushButton(title);
    row->addWidget(pushButton);
    QObject::connect(pushButton, &QPushButton::clicked, pushButton,
                     [this, answer = std::move(answer)] {
                       auto run = answer;
                       dismiss();
                       if (run) run();
                     });
    return pushButton;
  }

  void present() {
    if (!dialog) return;
    dialog->adjustSize();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
  }
};

QtUpdateAlerts::QtUpdateAlerts() : shown_(std::make_unique<Shown>()) {}

QtUpdateAlerts::~QtUpdateAlerts() {
  shown_->dismiss();
}

QWidget* QtUpdateAlerts::window() const {
  return shown_->dialog.data();
}

void QtUpdateAlerts::showChecking(std::function<void()> cancel) {
  QVBoxLayout* content = nullptr;
  QHBoxLayout* buttons = nullptr;
  shown_->open(QStringLiteral("Software Update"), applicationIcon(), content, buttons);
  auto* title = new QLabel(QStringLiteral("<b>Checking for updates\u2026</b>"));
  content->addWidget(title);
  auto* bar = new QProgressBar;
  bar->setRange(0, 0);
  bar->setTextVisible(false);
  content->addWidget(bar);
  buttons->addStretch(1);
  shown_->button(buttons, QStringLiteral("Cancel"), cancel);
  content->addLayout(buttons);
  shown_->onClose = std::move(cancel);
  shown_->dialog->setMinimumWidth(360);
  shown_->present();
}

void QtUpdateAlerts::showUpdateFound(const UpdateOffer& offer,
                                     std::function<void(UpdateChoice)> choose) {
  QVBoxLayout* content = nullptr;
  QHBoxLayout* buttons = nullptr;
  shown_->open(QStringLiteral("Software Update"), applicationIcon(), content, buttons);
  auto* headline =
      new QLabel(QStringLiteral("<b>A new version of %1 is available!</b>").arg(qs(offer.appName)));
  content->addWidget(headline);
  auto* text = new QLabel(
      QStringLiteral("%1 %2 is now available\u2014you have %3. Would you like to install it now?")
          .arg(qs(offer.appName), qs(offer.version), qs(offer.currentVersion)));
  text->setWordWrap(true);
  content->addWidget(text);
  content->addWidget(new QLabel(QStringLiteral("<b>Release Notes:</b>")));
  auto* notes = new NotesView;
  notes->setOpenLinks(false);
  if (offer.releaseNotesUnavailable)
    notes->setPlainText(QStringLiteral("The release notes could not be loaded."));
  else if (offer.releaseNotes.empty())
    notes->setPlainText(QStringLiteral("No release notes were given for this version."));
  else
    notes->setHtml(qs(offer.releaseNotes));
  notes->setMinimumSize(420, 200);
  content->addWidget(notes, 1);

  auto answer = [choose](UpdateChoice choice) { return [choose, choice] { choose(choice); }; };
  shown_->button(buttons, QStringLiteral("Skip This Version"),
                 answer(UpdateChoice::SkipThisVersion));
  buttons->addStretch(1);
  shown_->button(buttons, QStringLiteral("Remind Me Later"), answer(UpdateChoice::RemindMeLater));
  auto* install = shown_->button(buttons, QStringLiteral("Install"), answer(UpdateChoice::Install));
  install->setDefault(true);
  install->setFocus();
  content->addLayout(buttons);
  shown_->onClose = answer(UpdateChoice::RemindMeLater);
  shown_->present();
}

void QtUpdateAlerts::showDownloadProgress(const std::string& title, std::uint64_t received,
                                          std::uint64_t expected, std::function<void()> cancel) {
  if (!shown_->progress) {
    QVBoxLayout* content = nullptr;
    QHBoxLayout* buttons = nullptr;
    shown_->open(QStringLiteral("Software Update"), applicationIcon(), content, buttons);
    shown_->progressTitle = new QLabel;
    content->addWidget(shown_->progressTitle);
    shown_->progress = new QProgressBar;
    shown_->progress->setTextVisible(false);
    content->addWidget(shown_->progress);
    shown_->progressText = new QLabel;
    content->addWidget(shown_->progressText);
    buttons->addStretch(1);
    shown_->progressCancel = std::make_shared<std::function<void()>>();
    shown_->button(buttons, QStringLiteral("Cancel"), [holder = shown_->progressCancel] {
      if (*holder) (*holder)();
    });
    content->addLayout(buttons);
    shown_->dialog->setMinimumWidth(360);
    shown_->present();
  }
  *shown_->progressCancel = cancel;
  shown_->onClose = std::move(cancel);
  shown_->progressTitle->setText(QStringLiteral("<b>%1</b>").arg(qs(title).toHtmlEscaped()));
  // Progress bars count in ints: show permille.
  shown_->progress->setRange(0, expected ? 1000 : 0);
  if (expected)
    shown_->progress->setValue(
        static_cast<int>(std::min<std::uint64_t>(received, expected) * 1000 / expected));
  shown_->progressText->setText(expected ? megabytes(received) + QStringLiteral(" of ") +
                                               megabytes(expected)
                                         : megabytes(received));
}

void QtUpdateAlerts::showMessage(UpdateMessageKind kind, const std::string& title,
                                 const std::string& text, std::function<void()> dismissed) {
  QVBoxLayout* content = nullptr;
  QHBoxLayout* buttons = nullptr;
  shown_->open(QStringLiteral("Software Update"), iconFor(kind), content, buttons);
  content->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(qs(title).toHtmlEscaped())));
  auto* body = new QLabel(qs(text));
  body->setTextFormat(Qt::PlainText);
  body->setWordWrap(true);
  body->setTextInteractionFlags(Qt::TextSelectableByMouse);
  content->addWidget(body);
  buttons->addStretch(1);
  shown_->button(buttons, QStringLiteral("OK"), dismissed)->setDefault(true);
  content->addLayout(buttons);
  shown_->onClose = std::move(dismissed);
  shown_->dialog->setMinimumWidth(400);
  shown_->present();
}

void QtUpdateAlerts::bringToFront() {
  shown_->present();
}

void QtUpdateAlerts::close() {
  shown_->dismiss();
}

}  // namespace tucklet::platform::updates
