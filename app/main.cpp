// Process entry: Tucklet on the simulated desktop, driven by Qt's event loop.
//
// The world comes from `--world PATH` or the embedded default desktop; a world file that cannot be
// used, or a harness switch that is wrong, is refused with one line and exit status 2 before
// anything starts. SIGTERM, SIGINT and SIGHUP end the program through its ordinary termination
// path, so every menu bar item is visible again and Tucklet's status items are gone when it
// exits; their handlers are in place before anything else happens, and a second signal while the
// program ends changes nothing. The command line is Tucklet's alone: Qt's own switches
// ("-platform", "-style", ...) are not read from it.
//
// The update framework lives beside the product: it fetches the bundle's appcast over HTTPS and
// keeps a verified update next to this program. TUCKLET_UPDATE_CA_FILE names certificates (PEM) it
// trusts besides the system's, for a test or demo server; nothing else in the process trusts them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QLatin1String>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <QtGlobal>

#include "app/app_delegate.h"
#include "app/arguments.h"
#include "app/host/desktop_harness.h"
#include "app/host/live_desktop_window.h"
#include "app/host/sim_screen_capture.h"
#include "platform/host/plist_user_defaults.h"
#include "platform/host/process_metrics.h"
#include "platform/qt/dbus_notification_center.h"
#include "platform/qt/qt_run_loop.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/termination_signals.h"
#include "platform/sim/desktop.h"
#include "platform/sim/render/screen_renderer.h"
#include "platform/sim/visibility_host.h"
#include "platform/sim/world_loader.h"
#include "platform/updates/qt_transport.h"
#include "platform/updates/qt_update_alerts.h"
#include "platform/updates/standard_updater.h"
#include "tooling/performance_capture.h"
#include "ui/settings/widgets/settings_window_widget.h"
#include "visibility/native_visibility.h"

namespace {

// Without a display (CI, the demo), Qt draws offscreen.
void chooseOffscreenWhenHeadless() {
  if (std::getenv("QT_QPA_PLATFORM")) return;
  if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// Tucklet's windows on screen. The live desktop window is the simulated Mac itself, not one of
// Tucklet's windows.
int visibleWindowCount() {
  int visible = 0;
  for (const QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible() && !dynamic_cast<const tucklet::LiveDesktopWindow*>(window)) ++visible;
  return visible;
}

std::unique_ptr<tucklet::platform::updates::QtUpdateTransport> makeUpdateTransport() {
  using tucklet::platform::updates::QtUpdateTransport;
  const char* authorities = std::getenv("TUCKLET_UPDATE_CA_FILE");
  if (!authorities || !*authorities) return std::make_unique<QtUpdateTransport>();
  std::string pem;
  std::FILE* file = std::fopen(authorities, "rb");
  if (!file) {
    std::fprintf(stderr, "tucklet: TUCKLET_UPDATE_CA_FILE %s: %s\n", authorities,
                 std::strerror(errno));
    return std::make_unique<QtUpdateTransport>();
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && pem.size() < (1u << 20))
    pem.append(buffer, got);
  std::fclose(file);
  std::string error;
  auto transport = std::make_unique<QtUpdateTransport>(pem, error);
  if (!error.empty())
    std::fprintf(stderr, "tucklet: TUCKLET_UPDATE_CA_FILE %s: %s\n", authorities, error.c_str());
  return transport;
}

// Without a display Tucklet's windows live on the simulated desktop, and the offscreen platform
// says for each raise or size hint that it has no window manager to pass it to. Those lines are
// expected and say nothing to the user; every other message goes where Qt sends it.
QtMessageHandler qtDefaultMessageHandler = nullptr;

void quietOffscreenMessages(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
    return;
  qtDefaultMessageHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tucklet;
  const Arguments arguments(argc, argv);

  // First of all, so that a signal in the first moments is not fatal either: it waits in the
  // handlers' pipe until the event loop runs, then takes the ordinary termination path.
  std::string signalError;
  auto signals = platform::TerminationSignals::install(signalError);
  if (!signals) std::fprintf(stderr, "tucklet: %s\n", signalError.c_str());

  std::string switchError;
  if (!DesktopHarness::checkSwitches(arguments, switchError)) {
    std::fprintf(stderr, "tucklet: %s\n", switchError.c_str());
    return 2;
  }

  sim::WorldResult loaded = sim::defaultWorld();
  std::string worldName = "<default>";
  if (arguments.contains("--world")) {
    const auto path = arguments.value("--world");
    if (!path) {
      std::fprintf(stderr, "tucklet: --world needs a file\n");
      return 2;
    }
    loaded = sim::loadWorldFile(*path);
    worldName = *path;
  }
  if (const auto* error = std::get_if<sim::WorldError>(&loaded)) {
    std::fprintf(stderr, "%s\n", error->describe().c_str());
    return 2;
  }
  auto& world = std::get<sim::World>(loaded);
  std::string harnessError;
  auto harness = DesktopHarness::fromArguments(arguments, world, harnessError);
  if (!harnessError.empty()) {
    std::fprintf(stderr, "tucklet: %s\n", harnessError.c_str());
    return 2;
  }
  std::vector<sim::TimelineStep> timeline = world.timeline;
  for (auto& step : timeline)
    step.where = worldName + ": " + step.where;
  if (harness) timeline.insert(timeline.end(), harness->steps().begin(), harness->steps().end());

  chooseOffscreenWhenHeadless();
  qtDefaultMessageHandler = qInstallMessageHandler(quietOffscreenMessages);
  // Qt reads its own switches from the arguments it is given; it is given none.
  int qtArgumentCount = 1;
  char* qtArguments[] = {argv[0], nullptr};
  QApplication application(qtArgumentCount, qtArguments);
  QApplication::setQuitOnLastWindowClosed(false);
  auto runLoop = platform::QtRunLoop::create();

  sim::SimDesktop desktop(std::move(world), *runLoop);
  sim::useRenderedTextWidths(desktop);
  sim::attachVisibilityHost(desktop, *runLoop);
  const auto bundleIdentifier =
      desktop.workspace().mainBundle().identifier.value_or(fallbackBundleIdentifier);
  platform::PlistUserDefaults defaults(bundleIdentifier);
  auto services = desktop.platform(defaults);
  configureNativeVisibility(sim::resolveVisibilityFrameworkPath(services.visibilityFrameworkPath),
                            runLoop.get());

  // The update framework beside the application.
  const auto updateTransport = makeUpdateTransport();
  platform::updates::QtUpdateAlerts updateAlerts;
  platform::updates::StandardUpdaterFramework updateFramework({
      .runLoop = *runLoop,
      .defaults = defaults,
      .bundle = desktop.workspace().mainBundle(),
      .transport = *updateTransport,
      .alerts = updateAlerts,
      .stagingFolder = QCoreApplication::applicationDirPath().toStdString(),
  });
  services.updateFramework = &updateFramework;

  // Test commands and review requests arrive on the session bus; without one those modes have no
  // channel, and say so.
  // The front window of this process: the settings window when it shows (the only window the
  // smoke run draws), else any other of Tucklet's own windows.
  SimScreenCapture screenCapture(desktop, services.windowServer, [] {
    QWidget* front = nullptr;
    for (auto* widget : QApplication::topLevelWidgets()) {
      if (!widget->isVisible() || dynamic_cast<LiveDesktopWindow*>(widget)) continue;
      if (dynamic_cast<settings_ui::SettingsWindowWidget*>(widget))
        return dynamic_cast<settings_ui::SettingsWindowWidget*>(widget)->picture(2.0);
      front = widget;
    }
    if (!front) return QImage();
    QImage picture(front->size() * 2, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(2);
    picture.fill(Qt::transparent);
    front->render(&picture);
    return picture;
  });
  services.screenCapture = &screenCapture;
  std::string busError;
  auto notifications = platform::DBusNotificationCenter::connect(busError);
  services.notifications = notifications.get();
  if (!notifications && (arguments.contains("--smoke-test") || arguments.contains("--ux-review")))
    std::fprintf(stderr, "tucklet: no test commands or review requests: %s\n", busError.c_str());

  // The performance capture looks at the arguments before the delegate exists: it may ask for
  // onboarding.
  platform::LinuxProcessMetrics processMetrics;
  auto capture =
      PerformanceCapture::fromArguments(arguments, {.platform = services,
                                                    .metrics = processMetrics,
                                                    .visibleWindowCount = visibleWindowCount,
                                                    .errors = stderr});
  const bool profileOnboarding = capture && capture->opensOnboarding();

  // Without a lock another copy could run unseen and hide items twice over, so a claim that finds
  // neither the session bus nor a lock file refuses the start.
  std::unique_ptr<platform::SingleInstance> instanceLock;
  bool refused = false;
  AppDelegate delegate(services, arguments, profileOnboarding,
                       [&instanceLock, &refused](const std::string& bundle) {
                         auto claim = platform::SingleInstance::acquire(bundle);
                         if (claim.outcome == platform::SingleInstance::Outcome::HeldElsewhere)
                           return false;
                         if (claim.outcome == platform::SingleInstance::Outcome::Failed) {
                           std::fprintf(stderr,
                                        "tucklet: cannot make sure no other Tucklet runs, so it "
                                        "does not start: %s\n",
                                        claim.error.c_str());
                           refused = true;
                           return false;
                         }
                         instanceLock = std::move(claim.lock);
                         return true;
                       });

  // The settings window follows the desktop's appearance.
  delegate.settingsViews =
      settings_ui::makeSettingsViews([&desktop] { return desktop.world().darkAppearance; });

  services.application.setTerminationHandler([&delegate, &harness, &capture] {
    delegate.applicationWillTerminate();
    if (capture) capture->applicationWillTerminate();
    if (harness) harness->terminated();
    QCoreApplication::quit();
  });
  services.application.setActivationPolicy(initialActivationPolicy(services));

  if (signals &&
      !signals->listen([&services](int) { services.application.terminate(); }, signalError)) {
    std::fprintf(stderr, "tucklet: %s\n", signalError.c_str());
  }
  // From now on a late signal must not cut the way out short.
  if (signals) signals->ignoreWhenReleased();

  // With a display, the simulated screen is shown in a window a person can use with their own
  // mouse and keyboard; closing it quits like the user would.
  std::unique_ptr<LiveDesktopWindow> liveWindow;
  if (LiveDesktopWindow::displayAvailable()) {
    liveWindow = std::make_unique<LiveDesktopWindow>(desktop);
    liveWindow->setCloseHandler([&services] { services.application.terminate(); });
    liveWindow->show();
  }

  if (harness) {
    if (liveWindow) {
      harness->setWindowCapture([&liveWindow](const std::string& path, std::string& error) {
        // What the display shows in the window's place, as a screenshot would.
        auto* screen = liveWindow->screen();
        const auto shot = screen ? screen->grabWindow(liveWindow->winId()).toImage() : QImage();
        if (shot.isNull()) {
          error = "the display gave no picture of the window";
          return false;
        }
        return sim::writePng(shot, path, &error);
      });
    }
    harness->start(*runLoop, desktop, [&delegate] { return delegate.controller; });
  }
  desktop.playTimeline(std::move(timeline), [](const std::string& line) {
    std::fprintf(stderr, "tucklet: %s\n", line.c_str());
  });

  runLoop->async([&delegate] {
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
  });
  const int status = QApplication::exec();

  liveWindow.reset();
  signals.reset();
  // A scan or press still running in the background reads the desktop: let it finish before the
  // desktop and the controller go away.
  runLoop->waitForBackgroundWork();
  delegate.controller.reset();
  notifications.reset();
  sim::detachVisibilityHost(desktop);
  return refused ? 2 : status;
}
