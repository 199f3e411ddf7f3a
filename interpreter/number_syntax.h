// The number syntax of scripts: where a number's text ends and the value it gives, exactly as
// the standard extractors of a binary stream in the "C" locale decide both. Plain functions over
// bytes: the scanner applies them to its buffer, or to a number it gathered across refills.
#pragma once

#include <cfloat>
#include <cstdint>

// How far a look at a float's text got. The text may arrive in pieces: each piece is scanned on
// from where the last one ended.
struct FloatScan {
    enum Part { atSign, inMantissa, atExponentSign, inExponent } part = atSign;   // what comes next
    bool point = false;
    bool negative = false;
    bool exponent = false;
    int digits = 0;
    int fractionDigits = 0;
    std::uint64_t mantissa = 0;   // meaningful only for up to 19 digits
};

inline bool isDigit(char c) { return unsigned(c - '0') < 10; }

// A float's text: a sign, digits with at most one '.', then an exponent only after a mantissa
// digit, with its own optional sign. Leading zeros are ordinary digits here; the standard scanner
// collapses them, which cannot change the value. Returns the byte after the number, or null when
// it may go on past end.
inline const char* scanFloat(FloatScan& scan, const char* p, const char* end) {
    if (scan.part == FloatScan::atSign && p != end) {
        scan.negative = *p == '-';
        if (*p == '+' || *p == '-') ++p;
        scan.part = FloatScan::inMantissa;
    }
    if (scan.part == FloatScan::inMantissa) {
        for (; p != end; ++p) {
            const auto digit = unsigned(*p - '0');
            if (digit < 10) {
                scan.mantissa = scan.mantissa * 10 + digit;
                ++scan.digits;
                scan.fractionDigits += scan.point;
            } else if (*p == '.' && !scan.point) {
                scan.point = true;
            } else {
                break;
            }
        }
        if (p == end) return nullptr;
        if ((*p != 'e' && *p != 'E') || scan.digits == 0) return p;
        scan.exponent = true;
        scan.part = FloatScan::atExponentSign;
        ++p;
    }
    if (scan.part == FloatScan::atExponentSign && p != end) {
        if (*p == '+' || *p == '-') ++p;
        scan.part = FloatScan::inExponent;
    }
    while (p != end && isDigit(*p)) ++p;
    return p != end && scan.part == FloatScan::inExponent ? p : nullptr;
}

// How far a look at an int's text got, which may arrive in pieces as a float's does.
struct IntScan {
    bool signPassed = false;
};

// An int's text: a sign, then digits. The byte after it, or null when it may go on past end.
inline const char* scanInt(IntScan& scan, const char* p, const char* end) {
    if (!scan.signPassed && p != end) {
        if (*p == '+' || *p == '-') ++p;
        scan.signPassed = true;
    }
    while (p != end && isDigit(*p)) ++p;
    return p != end ? p : nullptr;
}

// The value of a scanned float's text [first, last), as operator>>(float&) stores it; false when
// the read fails: text that does not convert entirely gives 0, overflow the largest float of its
// sign. Underflow and denormals are accepted.
bool convertFloat(const char* first, const char* last, float& value);

// Script numbers are mostly short decimals like "-12.5" or "0.125": at most seven digits and no
// exponent. Such a mantissa and the power of ten are both exact floats, so one IEEE division gives
// the correctly rounded value, the very value strtof gives.
static_assert(FLT_EVAL_METHOD == 0, "the quick conversion needs plain float arithmetic");
inline bool floatValue(const FloatScan& scan, const char* first, const char* last, float& value) {
    if (scan.digits == 0 || scan.digits > 7 || scan.exponent) return convertFloat(first, last, value);
    static constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    const float magnitude = float(scan.mantissa) / powersOfTen[scan.fractionDigits];
    value = scan.negative ? -magnitude : magnitude;
    return true;
}

// The value of a scanned int's text [first, last), as operator>>(int&) stores it: read as a long
// and narrowed, both saturating, digits past an overflow still part of the number. False when
// the read fails: no digits (0 stored) or a value beyond int (the nearest limit stored).
bool intValue(const IntScan& scan, const char* first, const char* last, int& value);
