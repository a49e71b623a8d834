#include "tooling/performance_capture.h"

#include <charconv>
#include <cmath>

#include "platform/host/atomic_file.h"

namespace tucklet {

namespace {

constexpr const char* secondsMessage = "--profile-seconds must be between 1 and 600\n";
constexpr double minimumSeconds = 1;
constexpr double maximumSeconds = 600;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits with at most one decimal point and at least one digit, then an optional exponent: the
// decimal forms a C-locale reader takes, without hexadecimal, infinities or not-a-number.
bool isDecimal(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  bool digits = false;
  while (at < text.size() && isDigit(text[at])) {
    ++at;
    digits = true;
  }
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && isDigit(text[at])) {
      ++at;
      digits = true;
    }
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (at == text.size() || !isDigit(text[at])) return false;
    while (at < text.size() && isDigit(text[at]))
      ++at;
  }
  return at == text.size();
}

}  // namespace

std::optional<double> PerformanceCapture::parseSeconds(std::string_view text) {
  if (!isDecimal(text)) return std::nullopt;
  // std::from_chars reads in the C locale whatever the process's locale is, but takes no '+'.
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || value < minimumSeconds || value > maximumSeconds)
    return std::nullopt;
  return value;
}

std::unique_ptr<PerformanceCapture> PerformanceCapture::fromArguments(const Arguments& arguments,
                                                                      Environment environment) {
  const auto output = arguments.value("--profile");
  if (!output) return nullptr;
  double duration = defaultSeconds;
  if (arguments.contains("--profile-seconds")) {
    const auto text = arguments.value("--profile-seconds");
    const auto seconds = text ? parseSeconds(*text) : std::nullopt;
    if (!seconds) {
      std::fputs(secondsMessage, environment.errors);
      return nullptr;
    }
    duration = *seconds;
  }
  return std::make_unique<PerformanceCapture>(
      *output, duration, arguments.contains("--profile-onboarding"), std::move(environment));
}

PerformanceCapture::PerformanceCapture(std::string output, double duration, bool opensOnboarding,
                                       Environment environment)
    : environment_(std::move(environment)),
      output_(std::move(output)),
      duration_(duration),
      started_(environment_.platform.runLoop.uptime()),
      secondsPerTick_(environment_.metrics.secondsPerTick()),
      previousBeat_(started_),
      opensOnboarding_(opensOnboarding) {
  // A beat is one append; reserve the whole run so that no beat pays for a reallocation.
  gaps_.reserve(static_cast<std::size_t>(std::ceil(duration_ / heartbeatInterval)) + 64);
  sample(started_);
  // Common modes: the heartbeat keeps beating while a menu tracks.
  timer_ = environment_.platform.runLoop.scheduleTimer(heartbeatInterval, true,
                                                       platform::TimerMode::Common,
                                                       lifetime_.guard([this] { heartbeat(); }));
}

PerformanceCapture::~PerformanceCapture() {
  if (timer_) timer_->invalidate();
}

void PerformanceCapture::heartbeat() {
  const double now = environment_.platform.runLoop.uptime();
  gaps_.push_back((now - previousBeat_) * 1000.0);
  previousBeat_ = now;
  if (now - previousResource_ >= 1.0) sample(now);
  if (now - started_ >= duration_) finish();
}

void PerformanceCapture::sample(double now) {
  // A failed query skips this sample; the next is tried a second later, not on every beat.
  previousResource_ = now;
  const auto usage = environment_.metrics.resourceUsage();
  if (!usage) return;
  const int windows = environment_.visibleWindowCount ? environment_.visibleWindowCount() : 0;
  samples_.push_back({
      {"elapsedSeconds", now - started_},
      {"cpuSeconds", static_cast<double>(usage->cpuTicks) * secondsPerTick_},
      {"residentBytes", usage->residentBytes},
      {"physicalFootprintBytes", usage->physicalFootprintBytes},
      {"diskReadBytes", usage->diskReadBytes},
      {"diskWriteBytes", usage->diskWriteBytes},
      {"visibleWindowCount", windows},
  });
}

nlohmann::json PerformanceCapture::report(double now) const {
  const auto& platform = environment_.platform;
  const auto bundle = platform.workspace.mainBundle();
  const auto version = bundle.infoKeys.find("CFBundleShortVersionString");
  const auto os = platform.workspace.operatingSystemVersion();
  const double elapsed = now - started_;
  return {
      {"schemaVersion", 1},
      {"pid", environment_.metrics.processId()},
      {"osVersion", "Version " + std::to_string(os.major) + "." + std::to_string(os.minor) +
                        (os.patch ? "." + std::to_string(os.patch) : std::string())},
      {"appVersion", version != bundle.infoKeys.end() ? version->second : std::string()},
      {"requestedSeconds", duration_},
      {"elapsedSeconds", elapsed},
      {"completed", duration_ <= elapsed},
      {"accessibilityTrusted", platform.accessibility.isProcessTrusted()},
      {"cpuSecondsPerMachTick", secondsPerTick_},
      {"heartbeatTargetMs", 1000.0 / 60.0},
      {"heartbeatGapMs", gaps_},
      {"resources", samples_},
  };
}

void PerformanceCapture::finish() {
  if (!timer_) return;
  timer_->invalidate();
  timer_.reset();
  const double now = environment_.platform.runLoop.uptime();
  sample(now);
  // Keys come out sorted: nlohmann's objects are ordered maps. Texts that are not UTF-8 (a
  // bundle's version could be anything) are replaced rather than failing the whole report.
  const auto text =
      report(now).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::string error;
  if (!platform::writeFileAtomically(output_, text, error))
    std::fprintf(environment_.errors, "Performance capture failed: %s\n", error.c_str());
}

}  // namespace tucklet
