// Small worlds for the visibility tests: the system's controls on the right, two ordinary
// applications on the left, and Tucklet's own items placed between them. Everything fits in the
// bar, so "every item shown" is a meaningful check.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/world.h"
#include "tests/support/world_builder.h"

namespace tucklet::testing {

inline constexpr const char* batteryID = "com.apple.menuextra.battery";
inline constexpr const char* clockID = "com.apple.menuextra.clock";
inline constexpr const char* wifiID = "com.apple.menuextra.wifi";
inline constexpr const char* nowPlayingID = "com.apple.menuextra.now-playing";
inline constexpr const char* notesID = "notes.status";
inline constexpr const char* musicID = "music.status";

// Every extra of visibilityWorld, right to left.
inline std::vector<std::string> allExtras() {
  return {clockID, batteryID, wifiID, nowPlayingID, notesID, musicID};
}

// Native mode (macOS 27 with the framework stand-in) unless changed; Tucklet in /Applications;
// its icon at 100 and the divider at 110, left of the icon.
inline WorldBuilder visibilityWorld() {
  auto control = [](int raw) { return [raw](sim::WorldExtra& e) { e.control = raw; }; };
  return WorldBuilder()
      .app(100, "com.apple.controlcenter", "Control Centre")
      .extra(clockID, 60)
      .at(0)
      .withExtra(control(2))
      .extra(batteryID, 30)
      .at(10)
      .withExtra(control(0))
      .extra(wifiID)
      .at(20)
      .withExtra(control(6))
      .extra(nowPlayingID)
      .at(30)
      .app(101, "com.example.notes", "Notes")
      .extra(notesID)
      .at(200)
      .app(102, "com.example.music", "Music")
      .extra(musicID)
      .at(210)
      .withWorld([](sim::World& w) {
        w.visibilityFramework.path = "builtin";
        w.statusItemPlacements = {{"QuiverlyToggle", 100}, {"QuiverlyBoundary", 110}};
      });
}

// Divider mode: no framework, on the last system whose layout the divider still hides.
inline WorldBuilder dividerWorld() {
  return visibilityWorld().withWorld([](sim::World& w) {
    w.visibilityFramework.path.reset();
    w.os = {26, 4, 0};
  });
}

}  // namespace tucklet::testing
