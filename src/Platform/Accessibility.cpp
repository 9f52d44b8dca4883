#include "Platform/Accessibility.h"

namespace vimbo::platform {

AXValue::AXValue() = default;
AXValue::AXValue(Variant v) : value(std::move(v)) {}
AXValue::AXValue(std::string s) : value(std::move(s)) {}
AXValue::AXValue(AXElement e) : value(e) {}
AXValue::AXValue(AXArray a) : value(std::move(a)) {}
AXValue::AXValue(Point p) : value(p) {}
AXValue::AXValue(Size s) : value(s) {}
AXValue::AXValue(const AXValue&) = default;
AXValue::AXValue(AXValue&&) noexcept = default;
AXValue& AXValue::operator=(const AXValue&) = default;
AXValue& AXValue::operator=(AXValue&&) noexcept = default;
AXValue::~AXValue() = default;

}  // namespace vimbo::platform
