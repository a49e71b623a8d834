// The world file format: which JSON key fills which field of `World`, and the checks that make a
// world make sense (one screen at least, distinct pids, one frontmost application, ...).
// docs/world-format.md describes the format for people who write world files.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/world.h"
#include "platform/sim/world_json_reader.h"

namespace tucklet::sim {

// Reads a parsed world file. Fails with `world_json::JsonReadFailure` naming the bad value.
World readWorld(const world_json::Json& root);

// Readers of single values, which a timeline's steps reuse.
WorldScreen readWorldScreen(const world_json::Json& value, const std::string& path);
WorldApplication readWorldApplication(const world_json::Json& value, const std::string& path);
platform::PowerSourceDescription readWorldPowerSource(const world_json::Json& value,
                                                      const std::string& path);

// What a timeline's steps may refer to: the world's applications and their items, and those the
// steps read so far launch.
class TimelineContext {
 public:
  explicit TimelineContext(const World& world);

  // Fails at `path` unless the reference names an application of the world or one launched.
  void check(const AppReference& app, const std::string& path) const;
  // Fails at `path` unless some application's item has this identifier.
  void checkItem(const std::string& identifier, const std::string& path) const;
  // A launch: fails at the pid's path when the pid is taken.
  void launch(const WorldApplication& app, const std::string& path);
  // The time of the last step read; steps must not go back in time.
  double lastAt = 0;

 private:
  pid_t selfPid_;
  std::map<pid_t, std::string> pids_;  // pid -> where it was given
  std::set<std::string> bundles_;
  std::set<std::string> items_;
};

// A `timeline` list, and one step ({"at": seconds, "<action>": arguments}) of it.
std::vector<TimelineStep> readTimeline(const world_json::Json& value, const std::string& path,
                                       TimelineContext& context);
TimelineStep readTimelineStep(const world_json::Json& value, const std::string& path,
                              TimelineContext& context);
// The arguments of one action, read for `path` (e.g. "timeline[3].click").
TimelineStep readTimelineAction(const std::string& action, const world_json::Json& arguments,
                                const std::string& path, TimelineContext& context);
// The names of the actions, as written.
std::vector<std::string_view> timelineActionNames();
std::string_view timelineActionName(TimelineStep::Action action);

}  // namespace tucklet::sim
