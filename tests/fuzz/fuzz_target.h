// One parser's fuzz entry point, written once and built two ways:
//  - in the fuzzing build (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) it is
//    the program's LLVMFuzzerTestOneInput;
//  - in the ordinary build (TUCKLET_FUZZ_REPLAY) it is registered by name in `fuzz_replay`, which
//    feeds it the seed corpus and every input that once crashed, so those stay fixed.
// A broken promise of the parser (an oracle below) aborts with one line, as a crash would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tucklet::fuzz {

using Entry = void (*)(const std::uint8_t* data, std::size_t size);

// Defined by fuzz_replay.cpp only.
bool registerTarget(const char* name, Entry entry);

[[noreturn]] inline void broken(const char* target, std::string_view what) {
  std::fprintf(stderr, "fuzz %s: %.*s\n", target, static_cast<int>(what.size()), what.data());
  std::abort();
}

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace tucklet::fuzz

#ifdef TUCKLET_FUZZ_REPLAY
#define TUCKLET_FUZZ_TARGET(name)                                      \
  static void name##Input(const std::uint8_t* data, std::size_t size); \
  [[maybe_unused]] static const bool name##Registered =                \
      ::tucklet::fuzz::registerTarget(#name, &name##Input);            \
  static void name##Input(const std::uint8_t* data, std::size_t size)
#else
#define TUCKLET_FUZZ_TARGET(name)                                                     \
  static void name##Input(const std::uint8_t* data, std::size_t size);                \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    name##Input(data, size);                                                          \
    return 0;                                                                         \
  }                                                                                   \
  static void name##Input(const std::uint8_t* data, std::size_t size)
#endif

// Aborts with `what` unless `condition` holds.
#define TUCKLET_FUZZ_CHECK(target, condition, what)          \
  do {                                                       \
    if (!(condition)) ::tucklet::fuzz::broken(target, what); \
  } while (false)
