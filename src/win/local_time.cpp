#include "win/local_time.h"

namespace win {

std::string localDateTimeText(const SYSTEMTIME* at) {
  char date[80] = {}, time[80] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, at, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, at, nullptr, time, sizeof time);
  return std::string(date) + " " + time;
}

}  // namespace win
