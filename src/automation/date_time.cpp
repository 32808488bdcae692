#include "automation/date_time.h"

#include <cmath>
#include <cstdint>

#include "automation/ascii_case.h"

namespace eqd {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kUnixToAutomation = 25569;  // 1970-01-01 as an automation day number

// Day numbers of the proleptic Gregorian calendar counted from 1970-01-01.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool StartsWithNoCase(std::string_view s, std::size_t pos, std::string_view what) {
  return s.size() - pos >= what.size() && AsciiSameText(s.substr(pos, what.size()), what);
}

bool ContainsNoCase(std::string_view s, std::string_view what) {
  for (std::size_t i = 0; i + what.size() <= s.size(); ++i)
    if (StartsWithNoCase(s, i, what)) return true;
  return false;
}

void AppendNumber(std::string& out, int value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (value < 0) out += '-';
  if (static_cast<int>(digits.size()) < width) out.append(static_cast<std::size_t>(width) - digits.size(), '0');
  out += digits;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// A small scanner over the text being read as a date.
struct Scanner {
  std::string_view s;
  std::size_t pos = 0;

  bool AtEnd() const { return pos >= s.size(); }
  bool Number(int maxDigits, int& value, int* digits = nullptr) {
    int n = 0;
    value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && n < maxDigits) {
      value = value * 10 + (s[pos] - '0');
      ++pos;
      ++n;
    }
    if (digits != nullptr) *digits = n;
    // More digits than a field can hold is no date, not a shorter number.
    return n > 0 && !(pos < s.size() && s[pos] >= '0' && s[pos] <= '9');
  }
  bool Literal(std::string_view what) {
    if (what.empty() || s.substr(pos, what.size()) != what) return false;
    pos += what.size();
    return true;
  }
  int Spaces() {
    int n = 0;
    while (pos < s.size() && IsSpace(s[pos])) ++pos, ++n;
    return n;
  }
};

// The order of day, month and year in a date format, as the letters 'd', 'm', 'y'.
std::string DateOrder(std::string_view format) {
  std::size_t at[3] = {std::string_view::npos, std::string_view::npos, std::string_view::npos};
  const char letters[3] = {'d', 'm', 'y'};
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '\'' || c == '"') {
      const std::size_t end = format.find(c, i + 1);
      if (end == std::string_view::npos) break;
      i = end;
      continue;
    }
    for (int k = 0; k < 3; ++k)
      if (AsciiLower(c) == letters[k] && at[k] == std::string_view::npos) at[k] = i;
  }
  if (at[0] == std::string_view::npos || at[1] == std::string_view::npos || at[2] == std::string_view::npos) return "dmy";
  std::string order = "dmy";
  for (int a = 0; a < 3; ++a)  // three elements: a bubble sort says it plainly
    for (int b = 0; b + 1 < 3 - a; ++b) {
      const std::size_t pb = at[order[b] == 'd' ? 0 : order[b] == 'm' ? 1 : 2];
      const std::size_t pn = at[order[b + 1] == 'd' ? 0 : order[b + 1] == 'm' ? 1 : 2];
      if (pb > pn) std::swap(order[b], order[b + 1]);
    }
  return order;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, TDateTimeParts& p) {
  const std::string order = DateOrder(fs.ShortDateFormat);
  for (int k = 0; k < 3; ++k) {
    if (k > 0 && !sc.Literal(fs.DateSeparator)) return false;
    int value = 0, digits = 0;
    if (!sc.Number(order[k] == 'y' ? 4 : 2, value, &digits)) return false;
    if (order[k] == 'd') {
      p.Day = value;
    } else if (order[k] == 'm') {
      p.Month = value;
    } else {
      p.Year = digits <= 2 ? (value < 50 ? 2000 + value : 1900 + value) : value;
    }
  }
  return true;
}

bool ScanTime(Scanner& sc, const TFormatSettings& fs, TDateTimeParts& p) {
  if (!sc.Number(2, p.Hour) || !sc.Literal(fs.TimeSeparator) || !sc.Number(2, p.Minute)) return false;
  p.Second = p.Millisecond = 0;
  if (sc.Literal(fs.TimeSeparator)) {
    if (!sc.Number(2, p.Second)) return false;
    if (sc.Literal(".") || sc.Literal(fs.DecimalSeparator)) {
      int digits = 0;
      if (!sc.Number(3, p.Millisecond, &digits)) return false;
      for (; digits < 3; ++digits) p.Millisecond *= 10;  // ".5" is half a second
    }
  }
  const std::size_t beforeSpaces = sc.pos;
  sc.Spaces();
  const bool am = StartsWithNoCase(sc.s, sc.pos, "AM");
  const bool pm = StartsWithNoCase(sc.s, sc.pos, "PM");
  if (am || pm) {
    if (p.Hour > 12) return false;
    if (am && p.Hour == 12) p.Hour = 0;
    if (pm && p.Hour < 12) p.Hour += 12;
    sc.pos += 2;
  } else {
    sc.pos = beforeSpaces;
  }
  return true;
}

}  // namespace

bool TryEncodeDateTime(const TDateTimeParts& p, double& days) {
  if (p.Year < 100 || p.Year > 9999 || p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > DaysInMonth(p.Year, p.Month))
    return false;
  if (p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 || p.Second < 0 || p.Second > 59 ||
      p.Millisecond < 0 || p.Millisecond > 999)
    return false;
  const std::int64_t day = DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) +
                           kUnixToAutomation;
  const double fraction =
      static_cast<double>(((p.Hour * 60 + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond) / double(kMsPerDay);
  days = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
  return true;
}

bool TryDecodeDateTime(double days, TDateTimeParts& p) {
  if (!std::isfinite(days)) return false;
  double whole = std::trunc(days);
  if (whole < kMinDateDays || whole >= kMaxDateDays) return false;
  auto day = static_cast<std::int64_t>(whole);
  std::int64_t ms = std::llround(std::fabs(days - whole) * double(kMsPerDay));
  if (ms >= kMsPerDay) {  // rounded up to midnight: the next day, counted away from zero
    ms -= kMsPerDay;
    day += days < 0 ? -1 : 1;
    if (day < static_cast<std::int64_t>(kMinDateDays) || day >= static_cast<std::int64_t>(kMaxDateDays)) return false;
  }
  CivilFromDays(day - kUnixToAutomation, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Millisecond = static_cast<int>(ms % 1000);
  return true;
}

std::string FormatDateTime(std::string_view format, const TDateTimeParts& p, const TFormatSettings& fs) {
  const bool twelveHours = ContainsNoCase(format, "ampm");
  std::string out;
  for (std::size_t i = 0; i < format.size();) {
    const char c = format[i];
    if (c == '\'' || c == '"') {
      const std::size_t end = format.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop + 1;
      continue;
    }
    const char lc = AsciiLower(c);
    std::size_t n = 1;
    while (i + n < format.size() && AsciiLower(format[i + n]) == lc) ++n;
    switch (lc) {
      case 'y':
        if (n <= 2) AppendNumber(out, p.Year % 100, 2);
        else AppendNumber(out, p.Year, 4);
        break;
      case 'm': AppendNumber(out, p.Month, n == 1 ? 1 : 2); break;
      case 'd': AppendNumber(out, p.Day, n == 1 ? 1 : 2); break;
      case 'h': {
        int h = p.Hour;
        if (twelveHours) h = h % 12 == 0 ? 12 : h % 12;
        AppendNumber(out, h, n == 1 ? 1 : 2);
        break;
      }
      case 'n': AppendNumber(out, p.Minute, n == 1 ? 1 : 2); break;
      case 's': AppendNumber(out, p.Second, n == 1 ? 1 : 2); break;
      case 'z': AppendNumber(out, p.Millisecond, n < 3 ? 1 : 3); break;
      case 'a':
        if (StartsWithNoCase(format, i, "ampm")) {
          out += p.Hour < 12 ? "AM" : "PM";
          n = 4;
        } else {
          out.append(format.substr(i, n));
        }
        break;
      case '/':
        for (std::size_t k = 0; k < n; ++k) out += fs.DateSeparator;
        break;
      case ':':
        for (std::size_t k = 0; k < n; ++k) out += fs.TimeSeparator;
        break;
      default: out.append(format.substr(i, n)); break;
    }
    i += n;
  }
  return out;
}

bool TryTextToDateTime(std::string_view text, const TFormatSettings& fs, double& days) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;

  TDateTimeParts p;
  Scanner sc{text};
  if (ScanDate(sc, fs, p)) {
    if (!sc.AtEnd() && (sc.Spaces() == 0 || !ScanTime(sc, fs, p))) return false;
  } else {
    p = TDateTimeParts{};
    sc.pos = 0;
    if (!ScanTime(sc, fs, p)) return false;
  }
  return sc.AtEnd() && TryEncodeDateTime(p, days);
}

}  // namespace eqd
