// What Tucklet costs while nobody touches it: CPU and wake-ups per second of the whole program on
// the default desktop, next to a minimal Qt program that runs one 2-second timer (the trust
// check's period), measured side by side over the same seconds. Run twice: with no rules, no hover
// or scroll reveal and no shortcuts (the feature runtime holds nothing), and with hover reveal on
// (a 0.15 s tick).
//
//   idle_bench [SECONDS]          (default 60; after 5 s of settling)
//
// CPU is user + system time from /proc/PID/stat; wake-ups are the context switches of every
// thread (/proc/PID/task/*/status), the closest Linux has to the Mac's idle wake-ups.
#include <QCoreApplication>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "features/feature_codec.h"
#include "platform/host/plist_user_defaults.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Sample {
  double cpuSeconds = 0;
  std::map<std::string, long long> switches;  // by thread id
};

// Context switches since `before`, of the threads alive now (a thread that ended in between takes
// its count with it: those are missed, never subtracted).
long long switchesSince(const Sample& before, const Sample& after) {
  long long total = 0;
  for (const auto& [thread, count] : after.switches) {
    const auto it = before.switches.find(thread);
    total += count - (it == before.switches.end() ? 0 : it->second);
  }
  return total;
}

Sample sample(pid_t pid) {
  Sample s;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  if (text.find(')') == std::string::npos) return s;
  // Fields after the command name (which may hold spaces) start after the last ')'.
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::vector<std::string> fields;
  for (std::string field; rest >> field;)
    fields.push_back(field);
  if (fields.size() > 12) {
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    s.cpuSeconds = (std::stod(fields[11]) + std::stod(fields[12])) / ticks;  // utime, stime
  }
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
          line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        s.switches[task.path().filename().string()] += std::stoll(line.substr(line.find(':') + 1));
    }
  }
  return s;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    env.emplace_back(*e);
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> argv, envp;
  for (const auto& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : env)
    envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
}

void run(const std::string& self, const fs::path& scratch, bool hoverReveal, int seconds) {
  const auto defaults = scratch / (hoverReveal ? "hover" : "plain");
  fs::create_directories(defaults);
  {
    tucklet::platform::PlistUserDefaults stored("local.quenby.Quiverly", defaults.string());
    stored.setObject("setupComplete", true);
    tucklet::FeatureConfiguration features;
    features.hoverReveal = hoverReveal;
    const auto json = tucklet::encodeFeatureConfiguration(features);
    stored.setObject("features", tucklet::platform::PlistData(json->begin(), json->end()));
  }
  const pid_t program = spawn({TUCKLET_PROGRAM}, {"QT_QPA_PLATFORM=offscreen",
                                                  "TUCKLET_DEFAULTS_DIR=" + defaults.string()});
  const pid_t reference = spawn({self, "--reference"}, {"QT_QPA_PLATFORM=offscreen"});
  if (!program || !reference) {
    std::cerr << "idle_bench: could not start the programs\n";
    stop(program);
    stop(reference);
    return;
  }
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const auto programBefore = sample(program), referenceBefore = sample(reference);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const auto programAfter = sample(program), referenceAfter = sample(reference);
  stop(program);
  stop(reference);

  const auto report = [seconds](const char* name, Sample before, Sample after) {
    const double cpu = (after.cpuSeconds - before.cpuSeconds) / seconds * 100;
    const double wakeups = static_cast<double>(switchesSince(before, after)) / seconds;
    std::printf("  %-26s CPU %6.3f %%   wake-ups %7.2f /s\n", name, cpu, wakeups);
    return std::pair{cpu, wakeups};
  };
  std::printf("%s, %d s:\n", hoverReveal ? "hover reveal on (0.15 s tick)" : "no features",
              seconds);
  const auto [cpu, wakeups] = report("tucklet", programBefore, programAfter);
  const auto [refCpu, refWakeups] =
      report("reference (2 s timer)", referenceBefore, referenceAfter);
  // CPU is counted in clock ticks (10 ms): an idle minute may show none at all.
  const auto ratio = [](double a, double b) {
    return b > 0 ? std::to_string(a / b) : std::string(a > 0 ? "above the reference" : "both 0");
  };
  std::printf("  ratio                      CPU %s   wake-ups %s\n", ratio(cpu, refCpu).c_str(),
              ratio(wakeups, refWakeups).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--reference") {
    QCoreApplication app(argc, argv);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [] {});
    timer.start(2000);
    return app.exec();
  }
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const auto self = fs::canonical("/proc/self/exe").string();
  const auto scratch =
      fs::temp_directory_path() / ("tucklet-idle-bench-" + std::to_string(getpid()));
  run(self, scratch, false, seconds);
  run(self, scratch, true, seconds);
  std::error_code ec;
  fs::remove_all(scratch, ec);
  return 0;
}
