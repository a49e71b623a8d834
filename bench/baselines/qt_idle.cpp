// The baseline for Tucklet's idle cost: a minimal Qt Widgets program that starts its event loop
// and waits, and (with --timer-ms N) the same with one repeating timer of N milliseconds doing
// nothing. Ends on SIGTERM like any program.
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QTimer timer;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--timer-ms") == 0) {
      QObject::connect(&timer, &QTimer::timeout, [] {});
      timer.start(std::atoi(argv[i + 1]));
    }
  }
  return application.exec();
}
