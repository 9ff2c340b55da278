#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/LocaleInfo.h"

// Dates as the calendar reads and shows them. Every date here is in local seconds (see
// app/LocalTime.h); the bias is in minutes with UTC = local + bias.
namespace tovela {

// Which end of the day a date-only text stands for.
enum class DayEdge { Start, End };

// "yyyymmdd" as 00:00:00 (Start) or 23:59:59 (End) of that day. Nothing when the text is
// not such a date.
std::optional<std::int64_t> ReadDateOnly(std::string_view text, DayEdge edge);

// "yyyymmddThhmmssZ" (UTC, brought to local time with the bias) or "yyyymmddThhmmss" (already
// local). Nothing when the text is neither.
std::optional<std::int64_t> ReadDateTime(std::string_view text, int bias);

// A whole count (of seconds, of minutes) from a number the server sent, cut to a range that
// sums of a few such counts cannot overflow (about 30000 years of seconds either way).
// Not-a-number counts as 0.
std::int64_t ClampCount(double value);

// The server's milliseconds (a number at the start of the text; nothing gives 0) as seconds.
std::int64_t SecondsFromMs(std::string_view milliseconds);

int DayOfMonth(std::int64_t localSeconds);

// "明日" when the day of the month of `date` is today's plus one, else nothing. The days are
// compared as numbers, so the first of a month never counts as tomorrow.
std::string TomorrowMark(std::int64_t date, std::int64_t now);

// The time of day in the user's long time format without the seconds ("14:05", "2:05 PM").
std::string FormatoFecha(LocaleInfo& locale, std::int64_t localSeconds);

// What a reminder shows under the title: "[明日]終日" for an all-day appointment, else
// "[明日]<start> - <end>".
std::string WhenText(LocaleInfo& locale, bool allDay, std::int64_t start, std::int64_t end,
                     std::int64_t now);

}  // namespace tovela
