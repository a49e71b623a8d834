// The Accessibility interface: trust, elements of other processes, attribute reads with error
// codes, hit tests, actions, messaging time-outs and observers.
//
// Every read is a message to the element's process and may be slow; a hung process answers with
// `AXError::CannotComplete` once the element's messaging time-out has passed. All calls are safe
// from background threads except observers, which belong to the main run loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <sys/types.h>

#include "platform/geometry.h"

namespace tucklet::platform {

// The platform's Accessibility error codes.
enum class AXError : int {
  Success = 0,
  Failure = -25200,
  IllegalArgument = -25201,
  InvalidUIElement = -25202,
  InvalidUIElementObserver = -25203,
  CannotComplete = -25204,  // also the answer of a process that did not reply in time
  AttributeUnsupported = -25205,
  ActionUnsupported = -25206,
  NotificationUnsupported = -25207,
  NotImplemented = -25208,
  NotificationAlreadyRegistered = -25209,
  NotificationNotRegistered = -25210,
  APIDisabled = -25211,
  NoValue = -25212,
};

// An element of some process's interface. Elements compare equal when they name the same
// interface object, whichever call produced them.
class AXElement {
 public:
  virtual ~AXElement() = default;
  virtual bool sameElement(const AXElement& other) const = 0;
};
using AXElementRef = std::shared_ptr<const AXElement>;

struct AXValue;
using AXArray = std::vector<AXValue>;

// What an attribute read yields: a text, a number, a Bool, a point (value type 1), a size (value
// type 2), a rectangle, an element, or an array of values.
struct AXValue {
  std::variant<std::monostate, std::string, double, bool, Point, Size, Rect, AXElementRef, AXArray>
      value;

  const std::string* text() const { return std::get_if<std::string>(&value); }
  const double* number() const { return std::get_if<double>(&value); }
  const bool* boolean() const { return std::get_if<bool>(&value); }
  const Point* point() const { return std::get_if<Point>(&value); }
  const Size* size() const { return std::get_if<Size>(&value); }
  const AXElementRef* element() const { return std::get_if<AXElementRef>(&value); }
  const AXArray* array() const { return std::get_if<AXArray>(&value); }
};

// Delivers notifications of one process's elements. Notifications reach the callback only while
// the observer's run loop source is attached to the main run loop (`attach`).
class AXObserver {
 public:
  virtual ~AXObserver() = default;
  virtual AXError addNotification(const AXElementRef& element, const std::string& name) = 0;
  virtual AXError removeNotification(const AXElementRef& element, const std::string& name) = 0;
  // Adds / removes the observer's source to the main run loop in the common modes.
  virtual void attach() = 0;
  virtual void detach() = 0;
};
using AXObserverCallback =
    std::function<void(const AXElementRef& element, const std::string& notification)>;

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // Whether the user granted this process Accessibility access.
  virtual bool isProcessTrusted() const = 0;

  virtual AXElementRef applicationElement(pid_t pid) const = 0;
  virtual AXElementRef systemWideElement() const = 0;

  // Per-element time-out of messages in seconds; 0 restores the default. Setting it on the
  // system-wide element sets the default for every element.
  virtual AXError setMessagingTimeout(const AXElementRef& element, double seconds) const = 0;

  virtual AXError copyAttributeValue(const AXElementRef& element, const std::string& attribute,
                                     AXValue& value) const = 0;
  virtual AXError isAttributeSettable(const AXElementRef& element, const std::string& attribute,
                                      bool& settable) const = 0;
  virtual AXError pid(const AXElementRef& element, pid_t& pid) const = 0;
  // Hit test in Accessibility coordinates (top-left origin, y down). `root` is an application
  // element (that application only) or the system-wide element (whatever is on top there).
  virtual AXError elementAtPosition(const AXElementRef& root, double x, double y,
                                    AXElementRef& element) const = 0;
  virtual AXError performAction(const AXElementRef& element, const std::string& action) const = 0;

  // Observer for one process; callbacks run on the main thread.
  virtual std::unique_ptr<AXObserver> createObserver(pid_t pid, AXObserverCallback callback) = 0;
};

}  // namespace tucklet::platform
