// The command line as the program reads it: switches are compared as whole arguments; a switch
// that takes a value uses the argument right after it and is ignored when there is none.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tucklet {

class Arguments {
 public:
  Arguments() = default;
  explicit Arguments(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}
  Arguments(int argc, const char* const* argv);

  // Whether the switch appears anywhere.
  bool contains(std::string_view flag) const;
  // The argument after the first occurrence of the switch; nothing when it is the last argument or
  // absent.
  std::optional<std::string> value(std::string_view flag) const;
  // The argument after every occurrence of the switch that has one.
  std::vector<std::string> values(std::string_view flag) const;

  const std::vector<std::string>& all() const { return arguments_; }

 private:
  std::vector<std::string> arguments_;  // without the program name
};

}  // namespace tucklet
