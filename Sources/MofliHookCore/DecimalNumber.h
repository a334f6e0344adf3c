#pragma once

// Decimal text to double, correctly rounded and independent of the process locale. For libraries
// without a floating-point std::from_chars (libc++ before 20, Apple's among them).
namespace DecimalNumber {

// The double nearest to the number in [first, last), which must hold a JSON number and nothing
// else. Beyond the range of a double: infinity of the number's sign; below it: zero or the
// nearest subnormal, as strtod gives them.
double parse(const char* first, const char* last);

} // namespace DecimalNumber
