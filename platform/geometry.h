// Points, sizes and rectangles in points (double precision).
//
// Two coordinate spaces meet in this program: screen coordinates (origin bottom-left of the
// primary screen, y up, as the window system's frames are) and Accessibility / window-list
// coordinates (origin top-left of the primary screen, y down). The types do not carry the space;
// names of variables and functions say which one they hold.
#pragma once

#include <algorithm>
#include <cmath>
#include <ostream>

namespace tucklet::platform {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }
  Point origin() const { return {x, y}; }
  Size size() const { return {width, height}; }
  bool isEmpty() const { return !(width > 0) || !(height > 0); }

  // Half-open on the far edges, as the window system's hit tests are.
  bool contains(Point p) const { return p.x >= x && p.x < maxX() && p.y >= y && p.y < maxY(); }
  bool intersects(const Rect& o) const {
    return !isEmpty() && !o.isEmpty() && o.x < maxX() && x < o.maxX() && o.y < maxY() &&
           y < o.maxY();
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Point& p) {
  return os << "(" << p.x << ", " << p.y << ")";
}
inline std::ostream& operator<<(std::ostream& os, const Size& s) {
  return os << "(" << s.width << " x " << s.height << ")";
}
inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "{" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "}";
}

}  // namespace tucklet::platform
