// Files of the installed freedesktop icon theme (Adwaita, then hicolor): scalable pictures first,
// then the largest bitmaps. Looked up on disk once per name.
#pragma once

#include <optional>
#include <string>

namespace tucklet::platform {

// The file of the theme icon `name` ("input-keyboard-symbolic"); nothing when no theme has it.
std::optional<std::string> iconThemeFile(const std::string& name);

}  // namespace tucklet::platform
