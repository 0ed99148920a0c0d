#include "vesk/core/transform.hpp"

#include <charconv>
#include <cmath>

namespace vesk_core::transform {

void append_plain_float(std::string& out, float value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  // The shortest digits come from the scientific form; place the point by hand.
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  std::size_t pos = 0;
  if (sci[0] == '-') {
    out.push_back('-');
    pos = 1;
  }
  const std::size_t e = sci.find('e');
  char digits[16];
  std::size_t n = 0;
  for (std::size_t i = pos; i < e; ++i) {
    if (sci[i] != '.') digits[n++] = sci[i];
  }
  std::size_t at = e + 1;
  const bool negative_exponent = sci[at] == '-';
  if (sci[at] == '-' || sci[at] == '+') ++at;
  int exponent = 0;
  std::from_chars(sci.data() + at, sci.data() + sci.size(), exponent);
  if (negative_exponent) exponent = -exponent;
  const int point = exponent + 1;  // digits before the decimal point
  const int count = static_cast<int>(n);
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out.append(digits, n);
  } else if (point >= count) {
    out.append(digits, n);
    out.append(static_cast<std::size_t>(point - count), '0');
  } else {
    out.append(digits, static_cast<std::size_t>(point));
    out.push_back('.');
    out.append(digits + point, n - static_cast<std::size_t>(point));
  }
}

std::string format_plain_float(float value) {
  std::string out;
  append_plain_float(out, value);
  return out;
}

}  // namespace vesk_core::transform
