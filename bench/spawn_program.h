// Starting a copy of a program for the whole-program benchmarks: its standard output discarded, its
// standard error into a file, and the environment of this process without the variables that would
// point it at the user's own defaults, runtime folder or display.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace tucklet::bench {

// The program is argv[0]; `extraEnvironment` is added after QT_QPA_PLATFORM=offscreen. The new
// process's id, 0 when it could not be started.
inline pid_t spawnProgram(std::vector<std::string> argv,
                          const std::vector<std::string>& extraEnvironment,
                          const std::filesystem::path& errors) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string variable(*entry);
    const auto key = variable.substr(0, variable.find('='));
    if (key != "TUCKLET_DEFAULTS_DIR" && key != "QT_QPA_PLATFORM" && key != "XDG_RUNTIME_DIR")
      environment.push_back(variable);
  }
  environment.push_back("QT_QPA_PLATFORM=offscreen");
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> argvPointers, environmentPointers;
  for (auto& argument : argv)
    argvPointers.push_back(argument.data());
  argvPointers.push_back(nullptr);
  for (auto& variable : environment)
    environmentPointers.push_back(variable.data());
  environmentPointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                                environmentPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : 0;
}

}  // namespace tucklet::bench
