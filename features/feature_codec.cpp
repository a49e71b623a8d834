#include "features/feature_codec.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace tucklet {

namespace {

using Json = nlohmann::json;

// ---- encoding ----

Json uuidJson(const Uuid& uuid) {
  return uuid.text();
}

Json encode(const ItemGroup& group) {
  return {{"id", uuidJson(group.id)}, {"name", group.name}, {"itemIDs", group.itemIDs}};
}

Json encode(const VisibilityPreset& preset) {
  return {{"id", uuidJson(preset.id)},         {"name", preset.name},
          {"bundles", preset.bundles},         {"systems", preset.systems},
          {"hideBattery", preset.hideBattery}, {"hideDateTime", preset.hideDateTime}};
}

Json encode(const AutomationRule& rule) {
  Json object = {{"id", uuidJson(rule.id)},
                 {"enabled", rule.enabled},
                 {"condition", std::string(rawValue(rule.condition))},
                 {"value", rule.value},
                 {"startMinute", rule.startMinute},
                 {"endMinute", rule.endMinute}};
  if (rule.presetID) object["presetID"] = uuidJson(*rule.presetID);
  return object;
}

Json encode(const KeyboardShortcut& shortcut) {
  return {{"id", uuidJson(shortcut.id)}, {"action", std::string(rawValue(shortcut.action))},
          {"keyCode", shortcut.keyCode}, {"keyLabel", shortcut.keyLabel},
          {"command", shortcut.command}, {"option", shortcut.option},
          {"control", shortcut.control}, {"shift", shortcut.shift},
          {"target", shortcut.target}};
}

Json encode(const QuickAction& action) {
  return {{"id", uuidJson(action.id)}, {"name", action.name}, {"url", action.url}};
}

template <typename Record>
Json encodeAll(const std::vector<Record>& records) {
  Json array = Json::array();
  for (const auto& record : records)
    array.push_back(encode(record));
  return array;
}

// ---- decoding ----

// Reads typed values out of JSON objects, remembering the first failure with its path.
class Reader {
 public:
  std::string error;

  bool fail(const std::string& path, const std::string& what) {
    if (error.empty()) error = path + ": " + what;
    return false;
  }

  const Json* member(const Json& object, const char* key, const std::string& path) {
    const auto found = object.find(key);
    if (found == object.end()) {
      fail(join(path, key), "missing");
      return nullptr;
    }
    return &*found;
  }

  bool read(const Json& object, const char* key, const std::string& path, std::string& out) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    if (!value->is_string()) return fail(join(path, key), "expected text");
    out = value->get_ref<const std::string&>();
    return true;
  }

  bool read(const Json& object, const char* key, const std::string& path, bool& out) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    if (!value->is_boolean()) return fail(join(path, key), "expected true or false");
    out = value->get<bool>();
    return true;
  }

  bool read(const Json& object, const char* key, const std::string& path, double& out) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    if (!value->is_number()) return fail(join(path, key), "expected a number");
    out = value->get<double>();
    return true;
  }

  bool read(const Json& object, const char* key, const std::string& path, std::int64_t& out) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    return readInteger(*value, join(path, key), out);
  }

  bool read(const Json& object, const char* key, const std::string& path, std::uint32_t& out) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    const auto where = join(path, key);
    std::int64_t wide = 0;
    if (!readInteger(*value, where, wide)) return false;
    if (wide < 0 || wide > static_cast<std::int64_t>(UINT32_MAX))
      return fail(where, "out of range");
    out = static_cast<std::uint32_t>(wide);
    return true;
  }

  bool read(const Json& object, const char* key, const std::string& path, Uuid& out) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    return readUuid(*value, join(path, key), out);
  }

  bool read(const Json& object, const char* key, const std::string& path, RuleCondition& out) {
    std::string raw;
    if (!read(object, key, path, raw)) return false;
    const auto condition = ruleConditionFromRaw(raw);
    if (!condition) return fail(join(path, key), "unknown value \"" + raw + "\"");
    out = *condition;
    return true;
  }

  bool read(const Json& object, const char* key, const std::string& path, ShortcutAction& out) {
    std::string raw;
    if (!read(object, key, path, raw)) return false;
    const auto action = shortcutActionFromRaw(raw);
    if (!action) return fail(join(path, key), "unknown value \"" + raw + "\"");
    out = *action;
    return true;
  }

  bool read(const Json& object, const char* key, const std::string& path,
            std::vector<std::string>& out) {
    return readArray(object, key, path, out,
                     [this](const Json& element, const std::string& at, std::string& item) {
                       if (!element.is_string()) return fail(at, "expected text");
                       item = element.get_ref<const std::string&>();
                       return true;
                     });
  }

  bool read(const Json& object, const char* key, const std::string& path,
            std::vector<std::int64_t>& out) {
    return readArray(object, key, path, out,
                     [this](const Json& element, const std::string& at, std::int64_t& item) {
                       return readInteger(element, at, item);
                     });
  }

  template <typename Record>
  bool read(const Json& object, const char* key, const std::string& path,
            std::vector<Record>& out) {
    return readArray(object, key, path, out,
                     [this](const Json& element, const std::string& at, Record& item) {
                       if (!element.is_object()) return fail(at, "expected an object");
                       return decodeRecord(element, at, item);
                     });
  }

  // Absent or null is no preset.
  bool readOptional(const Json& object, const char* key, const std::string& path,
                    std::optional<Uuid>& out) {
    const auto found = object.find(key);
    out.reset();
    if (found == object.end() || found->is_null()) return true;
    Uuid uuid;
    if (!readUuid(*found, join(path, key), uuid)) return false;
    out = uuid;
    return true;
  }

  bool decodeRecord(const Json& o, const std::string& p, ItemGroup& g) {
    return read(o, "id", p, g.id) && read(o, "name", p, g.name) && read(o, "itemIDs", p, g.itemIDs);
  }

  bool decodeRecord(const Json& o, const std::string& p, VisibilityPreset& v) {
    return read(o, "id", p, v.id) && read(o, "name", p, v.name) &&
           read(o, "bundles", p, v.bundles) && read(o, "systems", p, v.systems) &&
           read(o, "hideBattery", p, v.hideBattery) && read(o, "hideDateTime", p, v.hideDateTime);
  }

  bool decodeRecord(const Json& o, const std::string& p, AutomationRule& r) {
    return read(o, "id", p, r.id) && read(o, "enabled", p, r.enabled) &&
           read(o, "condition", p, r.condition) && read(o, "value", p, r.value) &&
           read(o, "startMinute", p, r.startMinute) && read(o, "endMinute", p, r.endMinute) &&
           readOptional(o, "presetID", p, r.presetID);
  }

  bool decodeRecord(const Json& o, const std::string& p, KeyboardShortcut& s) {
    return read(o, "id", p, s.id) && read(o, "action", p, s.action) &&
           read(o, "keyCode", p, s.keyCode) && read(o, "keyLabel", p, s.keyLabel) &&
           read(o, "command", p, s.command) && read(o, "option", p, s.option) &&
           read(o, "control", p, s.control) && read(o, "shift", p, s.shift) &&
           read(o, "target", p, s.target);
  }

  bool decodeRecord(const Json& o, const std::string& p, QuickAction& a) {
    return read(o, "id", p, a.id) && read(o, "name", p, a.name) && read(o, "url", p, a.url);
  }

  bool decodeRecord(const Json& o, const std::string& p, FeatureConfiguration& c) {
    return read(o, "groups", p, c.groups) && read(o, "presets", p, c.presets) &&
           read(o, "rules", p, c.rules) && read(o, "shortcuts", p, c.shortcuts) &&
           read(o, "actions", p, c.actions) && read(o, "alwaysHiddenIDs", p, c.alwaysHiddenIDs) &&
           read(o, "itemOrder", p, c.itemOrder) && read(o, "hoverReveal", p, c.hoverReveal) &&
           read(o, "hoverDelay", p, c.hoverDelay) && read(o, "scrollReveal", p, c.scrollReveal) &&
           read(o, "overflowOnClick", p, c.overflowOnClick) &&
           read(o, "overflowSpacing", p, c.overflowSpacing) &&
           read(o, "appearance", p, c.appearance);
  }

 private:
  static std::string join(const std::string& path, const char* key) {
    return path.empty() ? std::string(key) : path + "." + key;
  }

  // Whole numbers only; a number written with a fraction or exponent counts when its value is
  // whole (540.0 is 540), as the platform's own JSON decoder reads it.
  bool readInteger(const Json& value, const std::string& at, std::int64_t& out) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
      out = value.get<std::int64_t>();
      return true;
    }
    if (value.is_number_unsigned()) {
      const auto wide = value.get<std::uint64_t>();
      if (wide > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return fail(at, "out of range");
      }
      out = static_cast<std::int64_t>(wide);
      return true;
    }
    if (value.is_number_float()) {
      const double number = value.get<double>();
      if (!std::isfinite(number) || std::trunc(number) != number) {
        return fail(at, "expected a whole number");
      }
      // 2^63 is exactly representable; anything at or beyond it does not fit.
      if (number < -9223372036854775808.0 || number >= 9223372036854775808.0) {
        return fail(at, "out of range");
      }
      out = static_cast<std::int64_t>(number);
      return true;
    }
    return fail(at, "expected a whole number");
  }

  bool readUuid(const Json& value, const std::string& at, Uuid& out) {
    if (!value.is_string()) return fail(at, "expected a UUID text");
    const auto uuid = Uuid::parse(value.get_ref<const std::string&>());
    if (!uuid) return fail(at, "not a UUID");
    out = *uuid;
    return true;
  }

  template <typename Item, typename ReadElement>
  bool readArray(const Json& object, const char* key, const std::string& path,
                 std::vector<Item>& out, ReadElement readElement) {
    const Json* value = member(object, key, path);
    if (!value) return false;
    const auto where = join(path, key);
    if (!value->is_array()) return fail(where, "expected an array");
    out.clear();
    out.reserve(value->size());
    for (std::size_t i = 0; i < value->size(); ++i) {
      Item item{};
      if (!readElement((*value)[i], where + "[" + std::to_string(i) + "]", item)) return false;
      out.push_back(std::move(item));
    }
    return true;
  }
};

}  // namespace

std::optional<std::string> encodeFeatureConfiguration(const FeatureConfiguration& c) {
  // JSON has no spelling for infinities or NaN; writing them as null would produce data that
  // never decodes again.
  if (!std::isfinite(c.hoverDelay) || !std::isfinite(c.overflowSpacing)) return std::nullopt;
  Json object = {{"groups", encodeAll(c.groups)},
                 {"presets", encodeAll(c.presets)},
                 {"rules", encodeAll(c.rules)},
                 {"shortcuts", encodeAll(c.shortcuts)},
                 {"actions", encodeAll(c.actions)},
                 {"alwaysHiddenIDs", c.alwaysHiddenIDs},
                 {"itemOrder", c.itemOrder},
                 {"hoverReveal", c.hoverReveal},
                 {"hoverDelay", c.hoverDelay},
                 {"scrollReveal", c.scrollReveal},
                 {"overflowOnClick", c.overflowOnClick},
                 {"overflowSpacing", c.overflowSpacing},
                 {"appearance", c.appearance}};
  try {
    // The strict handler refuses text that is not UTF-8 rather than storing something else.
    return object.dump(-1, ' ', false, Json::error_handler_t::strict);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

std::optional<FeatureConfiguration> decodeFeatureConfiguration(std::string_view json,
                                                               std::string* error) {
  const Json root = Json::parse(json.begin(), json.end(), nullptr, /*allow_exceptions=*/false);
  Reader reader;
  FeatureConfiguration configuration;
  bool ok = false;
  if (root.is_discarded()) {
    reader.fail("features", "not JSON");
  } else if (!root.is_object()) {
    reader.fail("features", "expected an object");
  } else {
    ok = reader.decodeRecord(root, "", configuration);
  }
  if (!ok) {
    if (error) *error = reader.error;
    return std::nullopt;
  }
  return configuration;
}

}  // namespace tucklet
