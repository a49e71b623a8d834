// Images as the product hands them to the platform: a named system symbol, an icon of the icon
// theme, an image file, or a vector drawing the product describes itself. The platform decides
// how to draw them (the simulated desktop draws symbols from the Adwaita theme).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace tucklet::platform {

// One step of a vector drawing, in the image's own points (origin bottom-left, y up).
struct DrawingOp {
  enum class Kind { MoveTo, LineTo, CurveTo, Stroke, FillOval };
  Kind kind = Kind::MoveTo;
  Point p;             // MoveTo, LineTo, CurveTo: the end point
  Point c1, c2;        // CurveTo: control points
  Rect oval;           // FillOval
  double lineWidth = 1;  // Stroke: strokes the path built so far (round caps and joins)
};

struct Image {
  enum class Kind { SystemSymbol, ThemeIcon, File, Drawing };
  Kind kind = Kind::SystemSymbol;
  std::string name;  // symbol name, theme icon name or file path
  Size size{18, 18};
  bool isTemplate = false;  // drawn in the bar's foreground colour
  std::string accessibilityDescription;
  std::vector<DrawingOp> drawing;  // Kind::Drawing

  static std::shared_ptr<const Image> symbol(std::string name) {
    auto i = std::make_shared<Image>();
    i->kind = Kind::SystemSymbol;
    i->name = std::move(name);
    return i;
  }
  static std::shared_ptr<const Image> themeIcon(std::string name) {
    auto i = std::make_shared<Image>();
    i->kind = Kind::ThemeIcon;
    i->name = std::move(name);
    return i;
  }
  static std::shared_ptr<const Image> file(std::string path) {
    auto i = std::make_shared<Image>();
    i->kind = Kind::File;
    i->name = std::move(path);
    return i;
  }
};
using ImageRef = std::shared_ptr<const Image>;

}  // namespace tucklet::platform
