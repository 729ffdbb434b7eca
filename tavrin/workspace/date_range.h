// Dates taken from the date fields of a package name ("2016-09-01"). No Qt, any thread.
#pragma once

#include <optional>
#include <string_view>

namespace workspace {

struct CalendarDate {
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
    bool operator==(const CalendarDate&) const = default;
};

// Splits text at its first "-" into a year part and the rest, the rest at its first "-"
// into month and day, and reads each part as a decimal number (leading blanks and sign
// allowed, the leading digits count, no digits give 0). Never fails.
CalendarDate SplitDateField(std::string_view text);

// True when the date exists in the calendar: year 1900..9999, month 1..12, day within its
// month (so 2016-02-30 is refused rather than rolled over into March).
bool IsValidCalendarDate(const CalendarDate& date);

// SplitDateField followed by IsValidCalendarDate: the date, or nothing when it is invalid.
std::optional<CalendarDate> ParseDateField(std::string_view text);

}  // namespace workspace
