#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace qm {

// A value as the page model hands it out: an attribute or a dimension may be absent (null), a Boolean,
// a number or a text. Engines whose attributes are all texts (Chromium) hand out texts only; the core
// reads every kind the same way.
class Variant {
  public:
    Variant() = default;
    Variant(bool b) : value_(b) {}                               // NOLINT(google-explicit-constructor)
    Variant(std::int32_t n) : value_(static_cast<double>(n)) {}  // NOLINT
    Variant(double d) : value_(d) {}                             // NOLINT
    Variant(std::string s) : value_(std::move(s)) {}             // NOLINT
    Variant(const char* s) : value_(std::string(s)) {}           // NOLINT

    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsBool() const { return std::holds_alternative<bool>(value_); }
    bool IsNumber() const { return std::holds_alternative<double>(value_); }
    bool IsString() const { return std::holds_alternative<std::string>(value_); }

    bool AsBool() const { return std::get<bool>(value_); }
    double AsNumber() const { return std::get<double>(value_); }
    const std::string& AsString() const { return std::get<std::string>(value_); }

    friend bool operator==(const Variant&, const Variant&) = default;

  private:
    std::variant<std::monostate, bool, double, std::string> value_;
};

// Whether a value compares equal to the Boolean True the way the page hands it back: the Boolean itself,
// or its text in any letter case (engines keep attributes as texts).
bool VariantIsTrue(const Variant& v);

// The value as text: a text as it is, a number in its shortest decimal form, a Boolean as "true" or
// "false", null as the empty text.
std::string VariantToText(const Variant& v);

// Converts a page value to a signed 32-bit integer the way the platform's own conversion does: numbers
// and numeric texts (surrounding spaces, a sign and a fraction allowed) are rounded half to even.
// Throws PlatformError for null, for a text that is not a number (such as "100%") and for values
// outside the 32-bit range.
std::int32_t VariantToInt32(const Variant& v);

}  // namespace qm
