#include "base/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/platform_error.h"
#include "base/text.h"

namespace qm {

namespace {

double RoundHalfToEven(double x) {
    const double lower = std::floor(x);
    const double fraction = x - lower;
    if (fraction > 0.5) {
        return lower + 1;
    }
    if (fraction < 0.5) {
        return lower;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1;
}

bool ParseNumber(std::string_view text, double& out) {
    text = TrimSpaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !(IsAsciiDigit(text.front()) || text.front() == '.')) {
        return false;  // also refuses "inf" and "nan", which from_chars would take
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return false;
    }
    out = negative ? -value : value;
    return true;
}

}  // namespace

bool VariantIsTrue(const Variant& v) {
    if (v.IsBool()) {
        return v.AsBool();
    }
    return v.IsString() && EqualsIgnoreAsciiCase(v.AsString(), "true");
}

std::string VariantToText(const Variant& v) {
    if (v.IsString()) {
        return v.AsString();
    }
    if (v.IsBool()) {
        return v.AsBool() ? "true" : "false";
    }
    if (v.IsNumber()) {
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v.AsNumber());
        return ec == std::errc() ? std::string(buffer, end) : std::string();
    }
    return {};
}

std::int32_t VariantToInt32(const Variant& v) {
    double value = 0;
    if (v.IsNumber()) {
        value = v.AsNumber();
    } else if (v.IsBool()) {
        value = v.AsBool() ? -1 : 0;  // the platform's True is -1
    } else if (!v.IsString() || !ParseNumber(v.AsString(), value)) {
        throw PlatformError("Type mismatch", 13);
    }
    if (!std::isfinite(value)) {
        throw PlatformError("Overflow", 6);
    }
    const double rounded = RoundHalfToEven(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) {
        throw PlatformError("Overflow", 6);
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace qm
