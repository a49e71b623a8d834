#include "app/arguments.h"

#include <algorithm>

namespace tucklet {

Arguments::Arguments(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) arguments_.emplace_back(argv[i]);
}

bool Arguments::contains(std::string_view flag) const {
  return std::find(arguments_.begin(), arguments_.end(), flag) != arguments_.end();
}

std::optional<std::string> Arguments::value(std::string_view flag) const {
  auto it = std::find(arguments_.begin(), arguments_.end(), flag);
  if (it == arguments_.end() || std::next(it) == arguments_.end()) return std::nullopt;
  return *std::next(it);
}

std::vector<std::string> Arguments::values(std::string_view flag) const {
  std::vector<std::string> found;
  for (std::size_t i = 0; i + 1 < arguments_.size(); ++i)
    if (arguments_[i] == flag) found.push_back(arguments_[i + 1]);
  return found;
}

}  // namespace tucklet
