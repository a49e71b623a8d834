#include "platform/sim/world_loader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/sim/world_default_json.h"
#include "platform/sim/world_format.h"
#include "platform/sim/world_json_reader.h"

namespace tucklet::sim {

namespace {

// The whole file, or the system's reason it could not be read.
bool readWholeFile(const std::string& path, std::string& contents, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  contents.clear();
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      contents.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0) {
      break;
    } else if (errno != EINTR) {
      reason = std::strerror(errno);  // e.g. "Is a directory"
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  return true;
}

}  // namespace

std::string WorldError::describe() const {
  if (jsonPath.empty()) return file + ": " + message;
  return file + ": " + jsonPath + ": " + message;
}

WorldResult loadWorldFile(const std::string& path) {
  std::string contents;
  std::string reason;
  if (!readWholeFile(path, contents, reason)) {
    return WorldError{path, "", "cannot read file: " + reason};
  }
  return parseWorld(contents, path);
}

WorldResult parseWorld(const std::string& json, const std::string& fileName) {
  try {
    return readWorld(world_json::parseStrict(json));
  } catch (const world_json::JsonReadFailure& failure) {
    return WorldError{fileName, failure.jsonPath, failure.message};
  } catch (const nlohmann::json::exception& error) {
    // The reader checks every value's kind before converting it, so this is a gap in those
    // checks; still one line rather than an exception escaping.
    return WorldError{fileName, "", error.what()};
  }
}

const std::string& defaultWorldJson() {
  static const std::string text(kDefaultWorldJsonText);
  return text;
}

World defaultWorld() {
  static const World world = [] {
    WorldResult result = parseWorld(defaultWorldJson(), "<default>");
    if (auto* parsed = std::get_if<World>(&result)) return *parsed;
    // The embedded file is checked by the tests; should a broken one slip through, say so and
    // run a bare laptop screen rather than nothing.
    std::fprintf(stderr, "tucklet: %s\n", std::get<WorldError>(result).describe().c_str());
    World bare;
    bare.screens.push_back(WorldScreen{Rect{0, 0, 1512, 982}, std::nullopt, 1});
    return bare;
  }();
  return world;
}

}  // namespace tucklet::sim
