// Pictures of the simulated desktop in tests: one Qt GUI application for the test program (the
// offscreen platform, set by ctest), and a place in the build folder for pictures worth looking at.
#pragma once

#include <QGuiApplication>

#include <filesystem>
#include <string>

namespace tucklet::testing {

inline QGuiApplication& guiTestApp() {
  static int argc = 1;
  static char name[] = "tests_render";
  static char* argv[] = {name, nullptr};
  static auto* app = new QGuiApplication(argc, argv);
  return *app;
}

// Where a test leaves a picture for people to look at: build/pictures/NAME.
inline std::string picturePath(const std::string& name) {
  const auto folder = std::filesystem::path(TUCKLET_BINARY_DIR) / "pictures";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

}  // namespace tucklet::testing
