// Tucklet's own status item image: a folded tray (two brackets around two dots), drawn as a
// template image, and the image for any other symbol name.
#pragma once

#include <string>

#include "platform/image.h"
#include "platform/symbols.h"

namespace tucklet {

platform::ImageRef foldImage();
// The image for a `symbol` setting: the fold drawing for "tucklet.fold", else the system symbol of
// that name; nothing when the system has no symbol of that name.
platform::ImageRef statusSymbolImage(const std::string& symbol, const platform::Symbols& symbols);

}  // namespace tucklet
