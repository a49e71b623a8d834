#include "platform/sim/sim_keys.h"

#include <array>

#include "platform/window_server.h"

namespace tucklet::sim {
namespace {

struct NamedKey {
  std::string_view name;
  std::uint16_t code;
};

// The letters, digits and signs by the character they type without Shift, then the named keys.
constexpr std::array<NamedKey, 48> kCharacterKeys{{
    {"a", 0},   {"s", 1},  {"d", 2},  {"f", 3},  {"h", 4},  {"g", 5},  {"z", 6},  {"x", 7},
    {"c", 8},   {"v", 9},  {"b", 11}, {"q", 12}, {"w", 13}, {"e", 14}, {"r", 15}, {"y", 16},
    {"t", 17},  {"1", 18}, {"2", 19}, {"3", 20}, {"4", 21}, {"6", 22}, {"5", 23}, {"=", 24},
    {"9", 25},  {"7", 26}, {"-", 27}, {"8", 28}, {"0", 29}, {"]", 30}, {"o", 31}, {"u", 32},
    {"[", 33},  {"i", 34}, {"p", 35}, {"l", 37}, {"j", 38}, {"'", 39}, {"k", 40}, {";", 41},
    {"\\", 42}, {",", 43}, {"/", 44}, {"n", 45}, {"m", 46}, {".", 47}, {"`", 50}, {" ", 49},
}};

constexpr std::array<NamedKey, 28> kNamedKeys{{
    {"return", 36}, {"tab", 48},    {"space", 49},   {"delete", 51},    {"escape", 53},
    {"left", 123},  {"right", 124}, {"down", 125},   {"up", 126},       {"forwardDelete", 117},
    {"home", 115},  {"end", 119},   {"pageUp", 116}, {"pageDown", 121}, {"f1", 122},
    {"f2", 120},    {"f3", 99},     {"f4", 118},     {"f5", 96},        {"f6", 97},
    {"f7", 98},     {"f8", 100},    {"f9", 101},     {"f10", 109},      {"f11", 103},
    {"f12", 111},   {"enter", 76},  {"help", 114},
}};

// The upper sign of each key of the number row and the punctuation keys, and its lower one.
constexpr std::array<std::pair<char, char>, 21> kShifted{{
    {'!', '1'},  {'@', '2'}, {'#', '3'},  {'$', '4'}, {'%', '5'}, {'^', '6'}, {'&', '7'},
    {'*', '8'},  {'(', '9'}, {')', '0'},  {'_', '-'}, {'+', '='}, {'{', '['}, {'}', ']'},
    {'|', '\\'}, {':', ';'}, {'"', '\''}, {'<', ','}, {'>', '.'}, {'?', '/'}, {'~', '`'},
}};

std::optional<std::uint16_t> characterKey(char c) {
  for (const auto& key : kCharacterKeys)
    if (key.name.size() == 1 && key.name[0] == c) return key.code;
  return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> keyCodeNamed(std::string_view name) {
  for (const auto& key : kNamedKeys)
    if (key.name == name) return key.code;
  if (name.size() == 1 && name != " ") return characterKey(name[0]);
  return std::nullopt;
}

std::vector<std::string_view> keyNames() {
  std::vector<std::string_view> names;
  for (const auto& key : kCharacterKeys)
    if (key.name != " ") names.push_back(key.name);
  for (const auto& key : kNamedKeys)
    names.push_back(key.name);
  return names;
}

std::vector<KeyStroke> strokesFor(std::string_view text) {
  std::vector<KeyStroke> strokes;
  std::size_t at = 0;
  while (at < text.size()) {
    // One UTF-8 character: a lead byte and its continuation bytes.
    std::size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      ++end;
    KeyStroke stroke;
    stroke.characters = std::string(text.substr(at, end - at));
    stroke.keyCode = kNoKeyCode;
    if (end - at == 1) {
      const char c = text[at];
      if (c >= 'A' && c <= 'Z') {
        stroke.keyCode = *characterKey(static_cast<char>(c - 'A' + 'a'));
        stroke.modifiers = platform::ModifierShift;
      } else if (c == '\n') {
        stroke.keyCode = 36;
      } else if (c == '\t') {
        stroke.keyCode = 48;
      } else if (auto code = characterKey(c)) {
        stroke.keyCode = *code;
      } else {
        for (const auto& [upper, lower] : kShifted) {
          if (upper != c) continue;
          stroke.keyCode = *characterKey(lower);
          stroke.modifiers = platform::ModifierShift;
        }
      }
    }
    strokes.push_back(std::move(stroke));
    at = end;
  }
  return strokes;
}

}  // namespace tucklet::sim
