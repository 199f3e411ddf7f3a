// The number syntax; see number_syntax.h. Floats convert with std::from_chars, which is exact;
// strtof has the last word only where from_chars reports a value out of range.
#include "interpreter/number_syntax.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

#include <locale.h>

namespace {
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}
}  // namespace

bool convertFloat(const char* first, const char* last, float& value) {
    const char* digits = first != last && *first == '+' ? first + 1 : first;
    float converted;
    const auto [stop, error] = std::from_chars(digits, last, converted);
    if (error == std::errc() && stop == last) {
        value = converted;
        return true;
    }
    if (error != std::errc::result_out_of_range) {
        value = 0;
        return false;
    }
    // from_chars calls underflow out of range too, and leaves the value unset; strtof decides.
    const std::string text(first, last);
    char* end = nullptr;
    converted = strtof_l(text.c_str(), &end, cLocale());
    if (end == text.c_str() || *end != '\0') {
        value = 0;
        return false;
    }
    const float largest = std::numeric_limits<float>::max();
    value = std::clamp(converted, -largest, largest);
    return value == converted;
}

bool intValue(const IntScan&, const char* first, const char* last, int& value) {
    const bool negative = first != last && *first == '-';
    if (first != last && (*first == '-' || *first == '+')) ++first;
    if (first == last) {
        value = 0;
        return false;
    }
    // The magnitude, held at one past the largest an int of this sign takes once it passes it.
    const std::uint64_t largest = std::uint64_t(INT_MAX) + negative;
    std::uint64_t magnitude = 0;
    for (; first != last; ++first) magnitude = std::min(magnitude * 10 + unsigned(*first - '0'), largest + 1);
    if (magnitude > largest) {
        value = negative ? INT_MIN : INT_MAX;
        return false;
    }
    value = int(negative ? -std::int64_t(magnitude) : std::int64_t(magnitude));
    return true;
}
