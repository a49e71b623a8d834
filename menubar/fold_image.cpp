#include "menubar/fold_image.h"

namespace tucklet {

namespace {

using platform::DrawingOp;
using platform::Point;

DrawingOp moveTo(double x, double y) {
  return {DrawingOp::Kind::MoveTo, {x, y}, {}, {}, {}, 1};
}
DrawingOp lineTo(double x, double y) {
  return {DrawingOp::Kind::LineTo, {x, y}, {}, {}, {}, 1};
}
DrawingOp curveTo(Point to, Point c1, Point c2) {
  return {DrawingOp::Kind::CurveTo, to, c1, c2, {}, 1};
}
DrawingOp fillOval(double x, double y, double w, double h) {
  return {DrawingOp::Kind::FillOval, {}, {}, {}, {x, y, w, h}, 1};
}
DrawingOp stroke(double width) {
  return {DrawingOp::Kind::Stroke, {}, {}, {}, {}, width};
}

}  // namespace

platform::ImageRef foldImage() {
  static const platform::ImageRef image = [] {
    auto i = std::make_shared<platform::Image>();
    i->kind = platform::Image::Kind::Drawing;
    i->name = "tucklet.fold";
    i->size = {20, 18};
    i->isTemplate = true;
    i->accessibilityDescription = "tucklet";
    i->drawing = {// Left bracket.
                  moveTo(5, 14), lineTo(4.5, 14), curveTo({3, 12.5}, {3.5, 14}, {3, 13.5}),
                  lineTo(3, 5.5), curveTo({4.5, 4}, {3, 4.5}, {3.5, 4}), lineTo(5, 4),
                  // Right bracket, its mirror image.
                  moveTo(15, 14), lineTo(15.5, 14), curveTo({17, 12.5}, {16.5, 14}, {17, 13.5}),
                  lineTo(17, 5.5), curveTo({15.5, 4}, {17, 4.5}, {16.5, 4}), lineTo(15, 4),
                  stroke(1.6),
                  // The two folded items.
                  fillOval(6.9, 7.9, 2.2, 2.2), fillOval(10.9, 7.9, 2.2, 2.2)};
    return platform::ImageRef(std::move(i));
  }();
  return image;
}

platform::ImageRef statusSymbolImage(const std::string& symbol, const platform::Symbols& symbols) {
  if (symbol == "tucklet.fold") return foldImage();
  if (!symbols.hasSymbol(symbol)) return nullptr;
  auto i = std::make_shared<platform::Image>();
  i->kind = platform::Image::Kind::SystemSymbol;
  i->name = symbol;
  i->isTemplate = true;
  i->accessibilityDescription = "tucklet";
  return i;
}

}  // namespace tucklet
