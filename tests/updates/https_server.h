// An HTTPS server on the loopback address for one test: a certificate made for it at start (by the
// openssl command), trusted by nobody but the updater the test points at it. It answers GET
// requests by path with fixed answers, one request per connection.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

namespace tucklet::updatetest {

class TestHttpsServer {
 public:
  struct Answer {
    int status = 200;
    std::string body;
    std::string location;             // a redirect's target
    std::size_t sendOnly = SIZE_MAX;  // close the connection after this many bytes of the body

    static Answer ok(std::string body) {
      Answer answer;
      answer.body = std::move(body);
      return answer;
    }
    static Answer redirect(std::string location) {
      Answer answer;
      answer.status = 302;
      answer.location = std::move(location);
      return answer;
    }
  };

  TestHttpsServer() {
    namespace fs = std::filesystem;
    const auto folder = fs::temp_directory_path() / ("tucklet-https-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const auto key = folder / "key.pem";
    const auto certificate = folder / "certificate.pem";
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
        "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key.string() + "' -out '" + certificate.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      error_ = "openssl could not make a certificate";
      return;
    }
    certificatePem_ = read(certificate);
    const auto keyPem = read(key);
    fs::remove_all(folder);

    auto configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);  // clients bring no certificate
    configuration.setLocalCertificate(
        QSslCertificate(QByteArray::fromStdString(certificatePem_), QSsl::Pem));
    configuration.setPrivateKey(QSslKey(QByteArray::fromStdString(keyPem), QSsl::Ec));
    server_.setSslConfiguration(configuration);
    QObject::connect(&server_, &QTcpServer::pendingConnectionAvailable, &server_, [this] {
      while (auto* socket = qobject_cast<QSslSocket*>(server_.nextPendingConnection()))
        serve(socket);
    });
    if (!server_.listen(QHostAddress::LocalHost, 0))
      error_ = "cannot listen: " + server_.errorString().toStdString();
  }

  // Empty when the server runs.
  const std::string& error() const { return error_; }
  const std::string& certificatePem() const { return certificatePem_; }
  std::string url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
  }

  std::map<std::string, Answer> answers;  // by path
  std::map<std::string, int> requests;    // how often each path was asked for

 private:
  static std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void serve(QSslSocket* socket) {
    auto request = std::make_shared<QByteArray>();
    QObject::connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QSslSocket::readyRead, socket, [this, socket, request] {
      request->append(socket->readAll());
      if (!request->contains("\r\n\r\n")) return;
      const auto line = request->left(request->indexOf("\r\n")).split(' ');
      const std::string path = line.size() > 1 ? line[1].toStdString() : "";
      ++requests[path];
      const auto it = answers.find(path);
      const Answer answer =
          it != answers.end() ? it->second : Answer{404, "not here", "", SIZE_MAX};
      std::string head = "HTTP/1.1 " + std::to_string(answer.status) +
                         (answer.status == 200   ? " OK"
                          : answer.status == 302 ? " Found"
                                                 : " Error") +
                         "\r\nContent-Length: " + std::to_string(answer.body.size()) +
                         "\r\nConnection: close\r\n";
      if (!answer.location.empty()) head += "Location: " + answer.location + "\r\n";
      head += "\r\n";
      socket->write(head.data(), static_cast<qint64>(head.size()));
      const auto sent = std::min(answer.sendOnly, answer.body.size());
      socket->write(answer.body.data(), static_cast<qint64>(sent));
      socket->disconnectFromHost();
    });
  }

  QSslServer server_;
  std::string certificatePem_;
  std::string error_;
};

}  // namespace tucklet::updatetest
