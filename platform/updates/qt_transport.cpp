#include "platform/updates/qt_transport.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

namespace tucklet::platform::updates {

namespace {

constexpr int transferTimeoutMs = 60'000;

std::string describeStatus(QNetworkReply& reply, int status) {
  const auto reason = reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
  return "the server answered " + std::to_string(status) +
         (reason.isEmpty() ? std::string() : " " + reason.toStdString());
}

// Why a finished transfer failed, or nothing when it did not.
std::optional<std::string> failureOf(QNetworkReply& reply, std::uint64_t received) {
  if (reply.error() == QNetworkReply::InsecureRedirectError) {
    const auto target = reply.url().resolved(QUrl::fromEncoded(reply.rawHeader("Location")));
    return "the server redirected to " + target.toDisplayString().toStdString() +
           ", which is not a secure (https) address";
  }
  const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const auto announced = reply.header(QNetworkRequest::ContentLengthHeader);
  if (announced.isValid() && received < announced.toULongLong())
    return "the connection closed after " + std::to_string(received) + " of " +
           std::to_string(announced.toULongLong()) + " bytes";
  if (status >= 400) return describeStatus(reply, status);
  if (reply.error() != QNetworkReply::NoError) return reply.errorString().toStdString();
  if (status != 200) return describeStatus(reply, status);
  return std::nullopt;
}

class ReplyTransfer final : public UpdateTransport::Transfer {
 public:
  ReplyTransfer(QNetworkReply* reply, std::uint64_t limit, UpdateTransport::Progress progress,
                UpdateTransport::Completion completion)
      : reply_(reply),
        limit_(limit),
        progress_(std::move(progress)),
        completion_(std::move(completion)) {
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this] { readAvailable(); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [this](qint64 received, qint64 total) {
                       if (progress_)
                         progress_(static_cast<std::uint64_t>(std::max<qint64>(received, 0)),
                                   static_cast<std::uint64_t>(std::max<qint64>(total, 0)));
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this] { finished(); });
  }

  ~ReplyTransfer() override { release(); }

 private:
  // The reply goes; nothing of it calls back any more.
  void release() {
    QPointer<QNetworkReply> reply = std::exchange(reply_, nullptr);
    if (!reply) return;
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    if (reply->isRunning()) reply->abort();
    reply->deleteLater();
  }

  // False once it has answered (the transfer may be gone then).
  bool readAvailable() {
    if (!reply_) return false;
    const auto chunk = reply_->readAll();
    body_.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
    if (body_.size() <= limit_) return true;
    release();
    complete(
        {false, {}, "the server sent more than the " + std::to_string(limit_) + " bytes expected"});
    return false;
  }

  void finished() {
    if (!readAvailable()) return;
    auto failure = failureOf(*reply_, body_.size());
    release();
    if (failure)
      complete({false, {}, std::move(*failure)});
    else
      complete({true, std::move(body_), {}});
  }

  // Last thing: the completion may destroy this transfer.
  void complete(UpdateTransport::Result result) {
    if (auto completion = std::exchange(completion_, {})) completion(std::move(result));
  }

  // Guarded: the manager deletes its replies when it goes.
  QPointer<QNetworkReply> reply_;
  const std::uint64_t limit_;
  UpdateTransport::Progress progress_;
  UpdateTransport::Completion completion_;
  std::string body_;
};

// A request refused before it started; it still answers later, like any other.
class RefusedTransfer final : public UpdateTransport::Transfer {
 public:
  RefusedTransfer(std::string error, UpdateTransport::Completion completion) {
    QTimer::singleShot(0, &context_,
                       [error = std::move(error), completion = std::move(completion)] {
                         completion({false, {}, error});
                       });
  }

 private:
  QObject context_;  // going with the transfer cancels the answer
};

}  // namespace

struct QtUpdateTransport::Trust {
  QList<QSslCertificate> authorities;
};

QtUpdateTransport::QtUpdateTransport() : trust_(std::make_unique<Trust>()) {}

QtUpdateTransport::QtUpdateTransport(const std::string& extraAuthoritiesPem, std::string& error)
    : QtUpdateTransport() {
  if (extraAuthoritiesPem.empty()) return;
  trust_->authorities = QSslCertificate::fromData(
      QByteArray(extraAuthoritiesPem.data(), static_cast<qsizetype>(extraAuthoritiesPem.size())),
      QSsl::Pem);
  if (trust_->authorities.isEmpty()) error = "no PEM certificate in it";
}

QtUpdateTransport::~QtUpdateTransport() = default;

std::unique_ptr<UpdateTransport::Transfer> QtUpdateTransport::get(const std::string& url,
                                                                  std::uint64_t limit,
                                                                  Progress progress,
                                                                  Completion completion) {
  const auto address = QUrl(QString::fromStdString(url), QUrl::StrictMode);
  if (!address.isValid() || address.scheme() != QLatin1String("https") || address.host().isEmpty())
    return std::make_unique<RefusedTransfer>(
        "refused to fetch " + url + ", which is not a secure (https) address",
        std::move(completion));
  if (!manager_) manager_ = std::make_unique<QNetworkAccessManager>();

  QNetworkRequest request(address);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setTransferTimeout(transferTimeoutMs);
  request.setRawHeader("User-Agent", "Tucklet updater");
  if (!trust_->authorities.isEmpty()) {
    auto configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(trust_->authorities);
    request.setSslConfiguration(configuration);
  }
  return std::make_unique<ReplyTransfer>(manager_->get(request), limit, std::move(progress),
                                         std::move(completion));
}

}  // namespace tucklet::platform::updates
