#include "base/text.h"

#include <cctype>

namespace base {

std::string upperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && upperCase(a) == upperCase(b);
}

std::string_view trimBlanks(std::string_view text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

namespace {

// Reads sign, digits and one decimal point from the start of `text`; returns
// how many characters form the number (0 when there are no digits).
std::size_t scanNumber(std::string_view text, double& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double number = 0, scale = 1;
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      if (point) {
        scale /= 10;
        number += (c - '0') * scale;
      } else {
        number = number * 10 + (c - '0');
      }
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  value = negative ? -number : number;
  return i;
}

}  // namespace

double leadingNumber(std::string_view text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  double value = 0;
  return scanNumber(text.substr(first), value) ? value : 0;
}

bool isNumber(std::string_view text) {
  text = trimBlanks(text);
  double value = 0;
  return !text.empty() && scanNumber(text, value) == text.size();
}

}  // namespace base
