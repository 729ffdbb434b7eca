#include "tavrin/workspace/date_range.h"

#include <cctype>

namespace workspace {

namespace {

// Leading decimal number of text, as the C library's integer conversion reads it; saturates
// instead of overflowing.
int LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long n = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        if (n < 1000000000LL) n = n * 10 + (text[i] - '0');
    return static_cast<int>(negative ? -n : n);
}

}  // namespace

CalendarDate SplitDateField(std::string_view text) {
    CalendarDate date;
    const size_t first = text.find('-');
    date.nYear = LeadingNumber(text.substr(0, first));
    if (first == std::string_view::npos) return date;
    const std::string_view rest = text.substr(first + 1);
    const size_t second = rest.find('-');
    date.nMonth = LeadingNumber(rest.substr(0, second));
    if (second != std::string_view::npos) date.nDay = LeadingNumber(rest.substr(second + 1));
    return date;
}

bool IsValidCalendarDate(const CalendarDate& date) {
    if (date.nYear < 1900 || date.nYear > 9999 || date.nMonth < 1 || date.nMonth > 12 ||
        date.nDay < 1)
        return false;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (date.nYear % 4 == 0 && date.nYear % 100 != 0) || date.nYear % 400 == 0;
    const int days = date.nMonth == 2 && leap ? 29 : kDays[date.nMonth - 1];
    return date.nDay <= days;
}

std::optional<CalendarDate> ParseDateField(std::string_view text) {
    const CalendarDate date = SplitDateField(text);
    if (!IsValidCalendarDate(date)) return std::nullopt;
    return date;
}

}  // namespace workspace
