// The first-run onboarding: a welcome window over the whole main screen that asks for
// Accessibility access, the hand-off to the Accessibility page of System Settings with a small
// guide panel floating over the Settings window, and the setup run once access arrives.
//
// States: welcome (window shown) → handing off (window closed, guide panel and its timer active,
// System Settings opened) → finished (both closed, the setup run started). A failure to open
// System Settings returns to the welcome window with `failure` set; "Cancel" and the close button
// end onboarding without finishing. While the welcome window is up the application is a regular
// application with the Dock and the menu bar auto-hidden; afterwards it is an accessory
// application again with its earlier presentation options.
//
// The windows' content is Qt widgets (`OnboardingView`, `PermissionGuide`), made only where the
// platform can show this process's windows and a QApplication exists; elsewhere the controller
// keeps the state alone.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/lifetime.h"
#include "platform/platform.h"

namespace tucklet {

class OnboardingView;
class PermissionGuide;

class OnboardingController {
 public:
  // What onboarding asks of the controller.
  struct Links {
    // The polled Accessibility trust.
    std::function<bool()> trusted;
    // Reads trust again now; a change comes back through `trustChanged`.
    std::function<void()> refreshTrust;
    // The setup run that folds the bar.
    std::function<void()> beginSetup;
  };

  OnboardingController(platform::Platform& platform, const platform::Lifetime& lifetime,
                       Links links);
  ~OnboardingController();
  OnboardingController(const OnboardingController&) = delete;
  OnboardingController& operator=(const OnboardingController&) = delete;

  // The user has been sent to System Settings and the guide panel is active.
  bool handingOff = false;
  // Shown in the welcome window after a failed hand-off or a failed setup run.
  std::optional<std::string> failure;
  // "Check Again" was pressed and access is still missing.
  bool permissionStillMissing = false;

  // Presents the welcome window (or brings it forward). Refuses to run outside "/Applications/"
  // and "/System/Applications/": the bundle is revealed and the application terminates.
  void show();
  // "Grant permission": finishes at once when trusted, else hands off to System Settings.
  void requestPermission();
  // "Check Again" in the guide panel.
  void checkAgain();
  // The controller's trust check saw trust change.
  void trustChanged(bool trusted);
  // Ends the hand-off and the window, puts System Settings away, runs the setup run.
  void finish();
  void endHandOff();
  void closeWindow();
  // The welcome window's button: finish when trusted, otherwise request permission.
  void continueOnboarding() {
    if (accessTrusted())
      finish();
    else
      requestPermission();
  }
  bool accessTrusted() const { return links_.trusted && links_.trusted(); }
  // The close button of the welcome window and "Cancel" in the guide panel: onboarding ends
  // without finishing setup.
  void dismiss();
  // Places the guide panel over the System Settings window, or orders it out (its timer and
  // activations call this).
  void placeGuide();

  bool windowVisible() const;
  bool guideVisible() const;
  // The presentation options saved while the welcome window has the screen.
  std::optional<platform::PresentationOptions> savedPresentationOptions() const {
    return presentationOptions_;
  }
  // The windows and their widgets while they exist (tests and pictures look at them).
  platform::WindowHandle* window() const { return window_.get(); }
  platform::WindowHandle* guide() const { return guide_.get(); }
  OnboardingView* view() const { return view_; }
  PermissionGuide* guideView() const { return guideView_; }

  // Where the guide panel goes over a System Settings window with bounds `settings` (window-list
  // coordinates, top-left origin) on a desktop whose first screen's top is `primaryMaxY`: right
  // of the window's sidebar, over the lower part of its content. Screen coordinates.
  static platform::Rect guideFrame(const platform::Rect& settings, double primaryMaxY);
  // Points the welcome window keeps clear at the top of `screen`: the larger of the menu bar's
  // thickness and the screen's top strip outside its visible frame.
  static double topInset(const platform::Screen& screen, double statusBarThickness);

  static constexpr const char* settingsURL =
      "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
  static constexpr const char* settingsBundle = "com.apple.systempreferences";
  static constexpr const char* openFailedText = "Couldn\u2019t open System Settings. Try again.";

 private:
  bool canShowWidgets() const;
  bool trusted() const { return accessTrusted(); }
  void refreshTrust() {
    if (links_.refreshTrust) links_.refreshTrust();
  }
  void openWindow(const platform::Screen& screen);
  void openGuide(const platform::Rect& frame);
  void orderGuideOut();
  void stateChanged();

  platform::Platform& platform_;
  const platform::Lifetime& lifetime_;
  Links links_;

  // The welcome window: its platform window and widget while it is open; without widgets, only
  // whether it would be shown.
  std::unique_ptr<platform::WindowHandle> window_;
  OnboardingView* view_ = nullptr;  // owned
  bool windowShown_ = false;
  // The guide panel: its widget lives from the hand-off's start to its end; the platform window
  // only while it is ordered in.
  std::unique_ptr<PermissionGuide> guidePanel_;
  PermissionGuide* guideView_ = nullptr;
  std::unique_ptr<platform::WindowHandle> guide_;
  bool guideExists_ = false;
  bool guideShown_ = false;
  std::optional<platform::Rect> guidePlaced_;
  platform::Connection activationObserver_;
  platform::TimerRef guideTimer_;
  std::optional<platform::PresentationOptions> presentationOptions_;
  // System Settings was opened for the hand-off (it is put away when onboarding finishes).
  bool handedOffToSettings_ = false;
};

}  // namespace tucklet
