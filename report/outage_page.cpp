#include "outage_page.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "daily_log_format.h"
#include "stamp_text.h"

namespace vellomar::report {
namespace {

using daily_log::kSecondsPerDay;

constexpr std::string_view kStyle = R"(
body { font: 13px/1.4 "DejaVu Sans", Arial, sans-serif; color: #222; margin: 16px auto; max-width: 760px; }
h1 { font-size: 20px; margin: 0 0 4px; }
h2 { font-size: 15px; margin: 18px 0 6px; }
p.meta { margin: 0; color: #555; }
table { border-collapse: collapse; }
td, th { padding: 2px 10px 2px 0; text-align: left; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
table.outages td, table.outages th { border-bottom: 1px solid #ddd; }
svg text { font-size: 10px; fill: #555; }
.legend span { display: inline-block; width: 10px; height: 10px; margin: 0 3px 0 10px; vertical-align: middle; }
section { break-inside: avoid; }
@page { size: A4; margin: 12mm; }
@media print { body { margin: 0; } }
)";

const char* const kMonthNames[] = {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "avg", "sep", "okt", "nov", "dec"};

struct DayColour {
    std::int64_t below;  // outage seconds up to which the colour holds
    const char* colour;
    const char* meaning;
};
// Days without an outage first; a day without a daily log is grey.
constexpr DayColour kDayColours[] = {
    {1, "#9bd59b", "brez prekinitev"}, {60, "#fde68a", "do 1 minute"},          {600, "#fbbf24", "do 10 minut"},
    {3600, "#f97316", "do 1 ure"},     {INT64_MAX, "#dc2626", "1 uro ali več"},
};
constexpr const char* kNoLogColour = "#e5e5e5";

// Appends printf-formatted text, whole however long: most fragments fit the
// buffer on the stack, the rest are formatted again in place.
[[gnu::format(printf, 2, 3)]] void Append(std::string& html, const char* format, ...)
{
    char text[256];
    va_list arguments, again;
    va_start(arguments, format);
    va_copy(again, arguments);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof text) {
        html.append(text, static_cast<std::size_t>(length));
    } else if (length > 0) {
        const std::size_t at = html.size();
        html.resize(at + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(html.data() + at, static_cast<std::size_t>(length) + 1, format, again);
        html.resize(at + static_cast<std::size_t>(length));
    }
    va_end(again);
}

// A coordinate, to a tenth of a pixel.
void AppendNumber(std::string& html, double value)
{
    long tenths = std::lround(value * 10);
    if (tenths < 0) {
        html += '-';
        tenths = -tenths;
    }
    char text[32];
    char* end = std::to_chars(text, text + sizeof text, tenths / 10).ptr;
    if (tenths % 10 != 0) {
        *end++ = '.';
        *end++ = static_cast<char>('0' + tenths % 10);
    }
    html.append(text, end);
}

void AppendNumber(std::string& html, int value)
{
    char text[16];
    html.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// "yyyy/mm/dd"
void AppendDate(std::string& html, const std::chrono::year_month_day& date)
{
    vellomar::AppendDate(html, static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                         static_cast<int>(static_cast<unsigned>(date.day())));
}

std::string DateText(std::int64_t day)
{
    std::string text;
    AppendDate(text, std::chrono::year_month_day {std::chrono::sys_days {std::chrono::days {day}}});
    return text;
}

std::string ShareText(std::int64_t part, std::int64_t whole)
{
    if (whole <= 0) {
        return "–";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f %%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    std::string share = text;
    std::replace(share.begin(), share.end(), '.', ',');
    return share;
}

const char* ColourOf(std::int64_t outageSeconds)
{
    for (const DayColour& c : kDayColours) {
        if (outageSeconds < c.below) {
            return c.colour;
        }
    }
    return kDayColours[std::size(kDayColours) - 1].colour;
}

void AppendHeader(std::string& html, const OutagePage& page)
{
    html += "<h1>Prekinitve povezave: " + EscapeHtml(page.hostName) + " (" + EscapeHtml(page.address) + ")</h1>\n";
    if (page.firstStamp.empty()) {
        html += "<p class=\"meta\">Dnevniki še nimajo zapisov.</p>\n";
    } else {
        html += "<p class=\"meta\">Obdobje: <span id=\"period\">" + EscapeHtml(page.firstStamp) + " – " +
                EscapeHtml(page.lastStamp) + "</span></p>\n";
    }
    html += "<p class=\"meta\">Izdelano: " + EscapeHtml(page.madeAt) + "</p>\n";
}

void AppendTotals(std::string& html, const OutagePage& page)
{
    html += "<section><h2>Skupaj</h2><table>\n";
    html += "<tr><th>Število prekinitev</th><td class=\"number\" id=\"outage-count\">" +
            std::to_string(page.outageCount) + "</td></tr>\n";
    html += "<tr><th>Skupni čas prekinitev</th><td class=\"number\" id=\"outage-time\">" +
            FormatDuration(page.outageSeconds) + "</td></tr>\n";
    html += "<tr><th>Nadzorovani čas</th><td class=\"number\" id=\"monitored-time\">" +
            FormatDuration(page.monitoredSeconds) + "</td></tr>\n";
    html += "<tr><th>Delež nadzorovanega časa brez povezave</th><td class=\"number\" id=\"down-share\">" +
            ShareText(page.outageSeconds, page.monitoredSeconds) + "</td></tr>\n";
    html += "</table></section>\n";
}

// One column a week, Monday at the top, the last day with a log at the end.
void AppendCalendar(std::string& html, const OutagePage& page)
{
    html += "<section><h2>Koledar zadnjih dvanajstih mesecev</h2>\n";
    if (page.days.empty()) {
        html += "<p>Ni dnevnikov.</p></section>\n";
        return;
    }
    const std::int64_t lastDay = page.days.back().day;
    const std::int64_t firstDay = lastDay - kCalendarDays + 1;
    const auto weekday = [](std::int64_t day) { return static_cast<int>(((day % 7) + 7 + 3) % 7); };  // Monday 0
    const std::int64_t firstMonday = firstDay - weekday(firstDay);
    constexpr int kStep = 14, kTop = 14, kLeft = 2;  // cells of 12 px
    const int weeks = static_cast<int>((lastDay - firstMonday) / 7) + 1;

    Append(html, "<svg id=\"calendar\" width=\"%d\" height=\"%d\" role=\"img\" aria-label=\"koledar prekinitev\">\n",
           kLeft + weeks * kStep + 20, kTop + 7 * kStep);
    auto day = std::lower_bound(page.days.begin(), page.days.end(), firstDay,
                                [](const PageDay& d, std::int64_t value) { return d.day < value; });
    for (std::int64_t d = firstDay; d <= lastDay; ++d) {
        const int column = static_cast<int>((d - firstMonday) / 7);
        const std::chrono::year_month_day date {std::chrono::sys_days {std::chrono::days {d}}};
        if (static_cast<unsigned>(date.day()) == 1 || d == firstDay) {
            Append(html, "<text x=\"%d\" y=\"10\">%s</text>\n", kLeft + column * kStep,
                   kMonthNames[static_cast<unsigned>(date.month()) - 1]);
        }
        const bool logged = day != page.days.end() && day->day == d;
        html += "<rect x=\"";
        AppendNumber(html, kLeft + column * kStep);
        html += "\" y=\"";
        AppendNumber(html, kTop + weekday(d) * kStep);
        html += "\" width=\"12\" height=\"12\" fill=\"";
        html += logged ? ColourOf(day->outageSeconds) : kNoLogColour;
        html += "\"><title>";
        AppendDate(html, date);
        html += ": ";
        html += logged ? FormatDuration(day->outageSeconds) : "ni dnevnika";
        html += "</title></rect>\n";
        if (logged) {
            ++day;
        }
    }
    html += "</svg>\n<p class=\"legend\">";
    for (const DayColour& c : kDayColours) {
        html += std::string("<span style=\"background:") + c.colour + "\"></span>" + c.meaning;
    }
    html += std::string("<span style=\"background:") + kNoLogColour + "\"></span>ni dnevnika</p></section>\n";
}

void AppendRttChart(std::string& html, const OutagePage& page)
{
    html += "<section><h2>Odzivni čas zadnjih sedem dni (mediana in največji v 10 minutah)</h2>\n";
    if (page.recentRtt.empty()) {
        html += "<p>Ni zapisov.</p></section>\n";
        return;
    }
    constexpr int kWidth = 720, kHeight = 150, kLeft = 40, kBottom = 20;
    const StampSeconds end = page.recentRtt.back().start + kRttSlotSeconds;
    const StampSeconds start = end - kRttDays * kSecondsPerDay;
    int scaleMs = 10;
    for (const RttSlot& slot : page.recentRtt) {
        scaleMs = std::max(scaleMs, slot.maxMs);
    }
    const double plotWidth = kWidth - kLeft;
    const auto x = [&](StampSeconds at) {
        return kLeft + plotWidth * static_cast<double>(at - start) / static_cast<double>(end - start);
    };
    const auto y = [&](int ms) { return (kHeight - kBottom) * (1.0 - static_cast<double>(ms) / scaleMs); };
    Append(html, "<svg id=\"rtt\" width=\"%d\" height=\"%d\" role=\"img\" aria-label=\"odzivni čas\">\n", kWidth,
           kHeight);
    Append(html, "<text x=\"0\" y=\"10\">%d ms</text><text x=\"0\" y=\"%d\">0 ms</text>\n", scaleMs, kHeight - kBottom);
    for (StampSeconds midnight = (start / kSecondsPerDay + 1) * kSecondsPerDay; midnight < end;
         midnight += kSecondsPerDay) {
        Append(
            html,
            "<line x1=\"%.1f\" x2=\"%.1f\" y1=\"0\" y2=\"%d\" stroke=\"#ddd\"/><text x=\"%.1f\" y=\"%d\">%s</text>\n",
            x(midnight), x(midnight), kHeight - kBottom, x(midnight) + 2, kHeight - 4,
            DateText(midnight / kSecondsPerDay).substr(5).c_str());
    }
    // The maxima as one path of vertical strokes, the medians as one line.
    std::string maxima, medians, timeouts;
    for (const RttSlot& slot : page.recentRtt) {
        if (slot.start < start) {
            continue;
        }
        const double at = x(slot.start + kRttSlotSeconds / 2);
        if (slot.replies > 0) {
            maxima += 'M';
            AppendNumber(maxima, at);
            maxima += ' ';
            AppendNumber(maxima, y(0));
            maxima += 'V';
            AppendNumber(maxima, y(slot.maxMs));
            AppendNumber(medians, at);
            medians += ',';
            AppendNumber(medians, y(slot.medianMs));
            medians += ' ';
        }
        if (slot.timeouts > 0) {
            Append(timeouts,
                   "<rect x=\"%.1f\" y=\"%.1f\" width=\"2\" height=\"6\" fill=\"#dc2626\"><title>%d brez "
                   "odgovora</title></rect>\n",
                   at - 1, y(0) + 2, slot.timeouts);
        }
    }
    html.append("<path d=\"").append(maxima).append("\" stroke=\"#bcd3ee\"/>\n");
    html.append("<polyline points=\"")
        .append(medians)
        .append("\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1\"/>\n");
    html.append(timeouts);
    html += "</svg>\n<p class=\"legend\"><span style=\"background:#1f5fa8\"></span>mediana"
            "<span style=\"background:#bcd3ee\"></span>največji"
            "<span style=\"background:#dc2626\"></span>brez odgovora</p></section>\n";
}

void AppendLongest(std::string& html, const OutagePage& page)
{
    html += "<section><h2>Najdaljše prekinitve</h2>\n";
    if (page.longest.empty()) {
        html += "<p>Ni prekinitev.</p></section>\n";
        return;
    }
    html += "<table class=\"outages\" id=\"longest\"><tr><th>Od</th><th>Do</th><th>Čas</th></tr>\n";
    for (const PageOutage& outage : page.longest) {
        html += "<tr><td>" + EscapeHtml(outage.start.Text()) + "</td><td>" + EscapeHtml(outage.end.Text()) +
                "</td><td class=\"number\">" + FormatDuration(outage.Seconds()) + "</td></tr>\n";
    }
    html += "</table></section>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string RenderOutagePage(const OutagePage& page)
{
    std::string html;
    html.reserve(96 * 1024);
    html += "<!DOCTYPE html>\n<html lang=\"sl\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<title>Prekinitve: " + EscapeHtml(page.hostName) + "</title>\n<style>";
    html += kStyle;
    html += "</style>\n</head>\n<body>\n";
    AppendHeader(html, page);
    AppendTotals(html, page);
    AppendCalendar(html, page);
    AppendRttChart(html, page);
    AppendLongest(html, page);
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace vellomar::report
