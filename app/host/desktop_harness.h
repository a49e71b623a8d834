// Switches that let a harness (the demo, whole-program tests) watch and drive a running Tucklet on
// the simulated desktop: pictures of the menu bar or screen at given moments, the controller's
// inventory and a state file as JSON, timeline steps, a timed quit through the ordinary
// termination path, and the state that path leaves behind. docs/sim-harness.md describes them
// and the state file's keys.
//
//   --sim-out DIR                   folder for the files below (default "out")
//   --sim-capture NAME@SECONDS      menu bar picture DIR/NAME.png (2x) at that time after start
//   --sim-capture-screen NAME@SECONDS   whole primary screen
//   --sim-capture-top-right NAME@SECONDS   the right half of the primary screen, from the top
//                                   down to below the lowest open menu
//   --sim-capture-window NAME@SECONDS   the live desktop window as the display shows it (a
//                                   screenshot of the window; only when there is a display)
//   --sim-capture-settings TAB@SECONDS   opens the settings window on that tab and writes what
//                                   it shows as DIR/settings-TAB.png (2x)
//   --sim-inventory NAME@SECONDS    the controller's items as DIR/NAME.json
//   --sim-state NAME@SECONDS        what a person would see, and the controller's state, as
//                                   DIR/NAME.json
//   --sim-latency NAME@SECONDS      the latency marks of the last item opening as DIR/NAME.json
//   --sim-do 'ACTION ARGS@SECONDS'  one timeline step (as in a world's `timeline`)
//   --sim-quit-after SECONDS        quit like the user would
//   --sim-state-on-quit NAME        the state file DIR/NAME.json, written by the termination path
//                                   once the controller has restored the menu bar (also after a
//                                   termination signal)
//
// These switches are strict, unlike the product's own: a misspelt one, one written
// "--sim-x=value" and one without its value end the program with one line and status 2.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "app/arguments.h"
#include "app/bar_controller.h"
#include "platform/run_loop.h"
#include "platform/sim/desktop.h"

namespace tucklet {

class DesktopHarness {
 public:
  // Every argument starting with "--sim-" is a switch of the list above followed by its value;
  // false with `error` (one line) otherwise.
  static bool checkSwitches(const Arguments& arguments, std::string& error);
  // Nothing to do without harness switches. A malformed switch value or a `--sim-do` step that
  // does not fit `world` is an error (one line).
  static std::unique_ptr<DesktopHarness> fromArguments(const Arguments& arguments,
                                                       const sim::World& world, std::string& error);

  // The `--sim-do` steps, for the desktop's timeline.
  const std::vector<sim::TimelineStep>& steps() const { return steps_; }

  // Schedules everything on the run loop; `controller` is asked for when a file is written.
  void start(platform::RunLoop& runLoop, sim::SimDesktop& desktop,
             std::function<std::shared_ptr<BarController>()> controller);
  // The termination path has run: writes the on-quit state files.
  void terminated();
  // How a picture of the live window is taken (writes a PNG to the path; false with a reason).
  // Without one, --sim-capture-window reports that there is no window.
  void setWindowCapture(std::function<bool(const std::string& path, std::string& error)> capture) {
    windowCapture_ = std::move(capture);
  }

 private:
  struct Event {
    enum class Kind {
      MenuBar, Screen, TopRight, Window, Settings, Inventory, State, Latency, Quit };
    Kind kind;
    std::string name;
    double seconds;
  };
  void run(const Event& event);
  void writeState(const std::filesystem::path& path) const;
  // The right half of a picture of the primary screen, down to below the lowest open menu.
  QImage topRight(const QImage& screen) const;
  // The settings window (`window`) cut out of a picture of the primary screen, with its shadow.
  QImage settingsCrop(const QImage& screen, platform::WindowNumber window) const;

  std::string outputFolder_ = "out";
  std::vector<Event> events_;
  std::vector<std::string> onQuitStates_;
  std::vector<sim::TimelineStep> steps_;
  sim::SimDesktop* desktop_ = nullptr;
  std::function<std::shared_ptr<BarController>()> controller_;
  std::function<bool(const std::string&, std::string&)> windowCapture_;
};

}  // namespace tucklet
