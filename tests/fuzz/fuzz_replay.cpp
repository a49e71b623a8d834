// Runs a fuzz target's entry point on files, as the ordinary build's regression test:
//   fuzz_replay TARGET PATH...
// Each PATH is a file or a folder of files (not recursive). Exit status 0 when every input went
// through; an input that breaks a promise aborts, naming the target.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_target.h"

namespace tucklet::fuzz {

namespace {

std::map<std::string, Entry>& targets() {
  static std::map<std::string, Entry> all;
  return all;
}

}  // namespace

bool registerTarget(const char* name, Entry entry) {
  targets()[name] = entry;
  return true;
}

}  // namespace tucklet::fuzz

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const auto& targets = tucklet::fuzz::targets();
  const auto target = argc > 1 ? targets.find(argv[1]) : targets.end();
  if (target == targets.end()) {
    std::fprintf(stderr, "usage: fuzz_replay TARGET PATH...; targets:");
    for (const auto& [name, entry] : targets)
      std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 2; i < argc; ++i) {
    const fs::path path(argv[i]);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      for (const auto& entry : fs::directory_iterator(path))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else if (fs::is_regular_file(path, error)) {
      inputs.push_back(path);
    } else {
      std::fprintf(stderr, "fuzz_replay: %s: no such file or folder\n", path.c_str());
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const auto& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::fprintf(stderr, "%s\n", input.c_str());
    target->second(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("fuzz_replay %s: %zu inputs\n", argv[1], inputs.size());
  return 0;
}
