#pragma once
// The accessibility interface: elements are opaque comparable handles; every call returns an
// error code, and attribute values come back loosely typed so that a wrong type can be met.
// Reads (copyAttributeValue, isAttributeSettable, copyElementAtPosition, getPid) are safe from
// worker threads and never need the main thread.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

// An element reference; 0 is no element. Equal ids are the same element.
struct AXElement {
  uint64_t id = 0;
  explicit operator bool() const { return id != 0; }
  friend auto operator<=>(const AXElement&, const AXElement&) = default;
};

enum class AXError : int32_t {
  Success = 0,
  Failure = -25200,
  IllegalArgument = -25201,
  InvalidUIElement = -25202,
  CannotComplete = -25204,
  AttributeUnsupported = -25205,
  ActionUnsupported = -25206,
  NotImplemented = -25208,
  APIDisabled = -25211,
  NoValue = -25212,
};

// A value of a type the system does not expect here (e.g. a URL or a date).
struct AXOther {
  std::string typeName;
  friend bool operator==(const AXOther&, const AXOther&) = default;
};

struct AXValue;
using AXArray = std::vector<AXValue>;

// string | element | array | point value | size value | number | boolean | something else.
struct AXValue {
  using Variant = std::variant<std::string, AXElement, AXArray, Point, Size, double, bool, AXOther>;
  Variant value;

  // Out of line: keeps g++ from inlining variant copies into false "maybe uninitialized" errors.
  AXValue();
  AXValue(Variant v);
  AXValue(std::string s);
  AXValue(AXElement e);
  AXValue(AXArray a);
  AXValue(Point p);
  AXValue(Size s);
  AXValue(const AXValue&);
  AXValue(AXValue&&) noexcept;
  AXValue& operator=(const AXValue&);
  AXValue& operator=(AXValue&&) noexcept;
  ~AXValue();

  const std::string* string() const { return std::get_if<std::string>(&value); }
  const AXElement* element() const { return std::get_if<AXElement>(&value); }
  const AXArray* array() const { return std::get_if<AXArray>(&value); }
  const Point* point() const { return std::get_if<Point>(&value); }
  const Size* size() const { return std::get_if<Size>(&value); }
  friend bool operator==(const AXValue&, const AXValue&) = default;
};

struct AXCopyResult {
  AXError error = AXError::Failure;
  std::optional<AXValue> value;  // present only with Success
};

struct AXSettableResult {
  AXError error = AXError::Failure;
  bool settable = false;
};

struct AXElementResult {
  AXError error = AXError::Failure;
  AXElement element;
};

struct AXPidResult {
  AXError error = AXError::Failure;
  int32_t pid = 0;
};

namespace axattr {
inline constexpr const char* identifier = "AXIdentifier";
inline constexpr const char* title = "AXTitle";
inline constexpr const char* description = "AXDescription";
inline constexpr const char* help = "AXHelp";
inline constexpr const char* parent = "AXParent";
inline constexpr const char* children = "AXChildren";
inline constexpr const char* position = "AXPosition";
inline constexpr const char* size = "AXSize";
inline constexpr const char* extrasMenuBar = "AXExtrasMenuBar";
inline constexpr const char* role = "AXRole";
}  // namespace axattr

namespace axaction {
inline constexpr const char* press = "AXPress";
}

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // Whether this process may use accessibility; with prompt the system asks the user.
  virtual bool isProcessTrusted(bool prompt) = 0;

  virtual AXElement createApplication(int32_t pid) = 0;
  virtual AXElement createSystemWide() = 0;

  virtual AXCopyResult copyAttributeValue(AXElement element, const std::string& attribute) = 0;
  virtual AXSettableResult isAttributeSettable(AXElement element, const std::string& attribute) = 0;
  virtual AXError setAttributeValue(AXElement element, const std::string& attribute, const AXValue& value) = 0;
  virtual AXError performAction(AXElement element, const std::string& action) = 0;
  // The top-most element at a window-server point; on the system-wide element across all
  // applications, on an application element within that application.
  virtual AXElementResult copyElementAtPosition(AXElement element, float x, float y) = 0;
  virtual AXPidResult getPid(AXElement element) = 0;
  // Seconds; 0 restores the default.
  virtual AXError setMessagingTimeout(AXElement element, float seconds) = 0;
};

}  // namespace vimbo::platform
