#include "platform/icon_theme.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace tucklet::platform {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> lookUp(const std::string& name) {
  static const char* const themes[] = {"/usr/share/icons/Adwaita", "/usr/share/icons/hicolor"};
  static const char* const sizes[] = {"scalable", "512x512", "256x256", "128x128",
                                      "96x96",    "64x64",   "48x48"};
  static const char* const extensions[] = {".svg", ".png", ".symbolic.png"};
  std::error_code ec;
  for (const char* theme : themes) {
    for (const char* size : sizes) {
      const fs::path base = fs::path(theme) / size;
      if (!fs::is_directory(base, ec)) continue;
      // Contexts in name order, so a name filed under two of them always finds the same file.
      std::vector<fs::path> contexts;
      for (const auto& entry : fs::directory_iterator(base, ec))
        if (entry.is_directory(ec)) contexts.push_back(entry.path());
      std::sort(contexts.begin(), contexts.end());
      for (const auto& context : contexts) {
        for (const char* extension : extensions) {
          const auto candidate = context / (name + extension);
          if (fs::is_regular_file(candidate, ec)) return candidate.string();
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> iconThemeFile(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  static std::mutex mutex;
  static std::map<std::string, std::optional<std::string>> cache;
  std::lock_guard lock(mutex);
  if (auto it = cache.find(name); it != cache.end()) return it->second;
  return cache[name] = lookUp(name);
}

}  // namespace tucklet::platform
