// The system's symbol images, by name ("wifi", "ellipsis", "battery.100", ...). Status items and
// menus draw a symbol from `Image::symbol(name)` as a template image in their text colour; this
// service only answers whether the system has a symbol of that name, so the product can choose
// another image (an application icon) or none without a display.
#pragma once

#include <string>

namespace tucklet::platform {

class Symbols {
 public:
  virtual ~Symbols() = default;
  // False for a name the system does not know: such a symbol draws nothing at all.
  virtual bool hasSymbol(const std::string& name) const = 0;
};

}  // namespace tucklet::platform
