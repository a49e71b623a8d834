#include "platform/sim/world_loader.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sim/world_default_json.h"
#include "platform/sim/world_format.h"
#include "platform/sim/world_json_reader.h"

namespace tucklet::sim {

namespace {

// The whole file, or the reason it could not be read. Only a regular file of at most
// `kMaxWorldFileBytes` is read: a FIFO would block, a device would never end. It is opened without
// waiting so that a FIFO with no writer does not block the open itself.
bool readWholeFile(const std::string& path, std::string& contents, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    reason = "cannot read file: " + std::string(std::strerror(errno));
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = "cannot read file: " + std::string(std::strerror(errno));
    ::close(fd);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = "cannot read file: " +
             std::string(S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file");
    ::close(fd);
    return false;
  }
  const auto tooLarge = [&reason] {
    reason = "file too large: a world file may hold at most " + std::to_string(kMaxWorldFileBytes) +
             " bytes";
  };
  if (static_cast<std::uint64_t>(info.st_size) > kMaxWorldFileBytes) {
    tooLarge();
    ::close(fd);
    return false;
  }
  contents.clear();
  contents.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      contents.append(buffer, static_cast<std::size_t>(count));
      if (contents.size() > kMaxWorldFileBytes) {  // still growing while read
        tooLarge();
        ::close(fd);
        return false;
      }
    } else if (count == 0) {
      break;
    } else if (errno != EINTR) {
      reason = "cannot read file: " + std::string(std::strerror(errno));
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  return true;
}

// Control characters (in a file name, a key, a text quoted back) would break the one line an
// error is; they are written as escapes instead.
std::string escapedControls(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      result += c;
      continue;
    }
    switch (c) {
      case '\n':
        result += "\\n";
        break;
      case '\r':
        result += "\\r";
        break;
      case '\t':
        result += "\\t";
        break;
      default: {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        result += escape;
      }
    }
  }
  return result;
}

}  // namespace

std::string WorldError::describe() const {
  if (jsonPath.empty()) return escapedControls(file + ": " + message);
  return escapedControls(file + ": " + jsonPath + ": " + message);
}

WorldResult loadWorldFile(const std::string& path) {
  std::string contents;
  std::string reason;
  if (!readWholeFile(path, contents, reason)) return WorldError{path, "", reason};
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

namespace {

// One "ACTION ARGUMENTS@SECONDS" step, read in `context`.
TimelineStep readTimelineArgument(const std::string& argument, const std::string& where,
                                  TimelineContext& context) {
  const auto at = argument.rfind('@');
  if (at == std::string::npos)
    world_json::fail("", "expected ACTION ARGUMENTS@SECONDS, got \"" + argument + "\"");
  const std::string time = argument.substr(at + 1);
  char* end = nullptr;
  const double seconds = std::strtod(time.c_str(), &end);
  if (time.empty() || end != time.c_str() + time.size() || !std::isfinite(seconds) || seconds < 0) {
    world_json::fail("", "expected a time in seconds after \"@\", got \"" + time + "\"");
  }
  std::string step = argument.substr(0, at);
  const auto first = step.find_first_not_of(" \t");
  step = first == std::string::npos ? std::string() : step.substr(first);
  const auto space = step.find_first_of(" \t");
  const std::string action = step.substr(0, space);
  std::string arguments;
  if (space != std::string::npos) {
    arguments = step.substr(space);
    const auto from = arguments.find_first_not_of(" \t");
    const auto to = arguments.find_last_not_of(" \t");
    arguments = from == std::string::npos ? std::string() : arguments.substr(from, to - from + 1);
  }
  if (action.empty()) world_json::fail("", "no action before \"@\"");
  world_json::Json value;
  if (!arguments.empty()) {
    try {
      value = world_json::parseStrict(arguments);
    } catch (const world_json::JsonReadFailure&) {
      value = arguments;  // not JSON: one text
    }
  }
  // Command-line steps are sorted by time when they are played, so they need not come in order.
  context.lastAt = 0;
  auto parsed = readTimelineAction(action, value, action, context);
  parsed.at = seconds;
  parsed.where = where;
  return parsed;
}

}  // namespace

std::variant<std::vector<TimelineStep>, WorldError> parseTimelineArguments(
    const std::vector<std::string>& arguments, const std::string& name, const World& world) {
  std::vector<TimelineStep> steps;
  std::string where;
  try {
    TimelineContext context(world);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      where = name + "[" + std::to_string(i) + "]";
      steps.push_back(readTimelineArgument(arguments[i], where, context));
    }
  } catch (const world_json::JsonReadFailure& failure) {
    return WorldError{where, failure.jsonPath, failure.message};
  } catch (const nlohmann::json::exception& error) {
    return WorldError{where, "", error.what()};
  }
  return steps;
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
