// One Qt Widgets application for the whole test program (the offscreen platform, set by ctest):
// the panel and Tucklet's other windows are widgets.
#pragma once

#include <QApplication>

namespace tucklet::testing {

inline QApplication& widgetApp() {
  static int argc = 1;
  static char name[] = "tests_panel";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace tucklet::testing
