#include "outage_page.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "daily_log_format.h"
#include "outage_place.h"
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
// A day of the period that nobody watched for more than half of is never drawn
// clean: that it had no outage says little.
constexpr const char* kUnwatchedColour = "#a5b4cb";
constexpr std::int64_t kMostlyUnwatched = kSecondsPerDay / 2;
// A day whose outages were all in the home network: the provider's service
// was not seen to fail, yet the day was not clean.
constexpr const char* kHomeOnlyColour = "#93c5fd";
constexpr const char* kHomeOnlyMeaning = "le v domačem omrežju";
constexpr const char* kPlaceIds[kOutagePlaces] = {"outage-time-provider", "outage-time-home", "outage-time-unknown"};

std::int64_t SecondsAt(const PlaceSeconds& seconds, OutagePlace place)
{
    return seconds[static_cast<std::size_t>(place)];
}

constexpr OutagePlace kPlaces[kOutagePlaces] = {OutagePlace::Provider, OutagePlace::HomeNetwork, OutagePlace::Unknown};

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

// A day is coloured by its outage time not shown to be in the home network:
// at the provider, or where it was is not known.
const char* ColourOfDay(const PageDay& day)
{
    const std::int64_t home = SecondsAt(day.byPlace, OutagePlace::HomeNetwork);
    return home > 0 && home == day.outageSeconds ? kHomeOnlyColour : ColourOf(day.outageSeconds - home);
}

// After the day's outage time, its split, once some of it has a known place.
void AppendDayPlaces(std::string& html, const PageDay& day)
{
    if (SecondsAt(day.byPlace, OutagePlace::Unknown) == day.outageSeconds) {
        return;
    }
    const char* separator = " (";
    for (const OutagePlace place : kPlaces) {
        html.append(separator).append(PlaceText(place)).append(" ");
        html += FormatDuration(SecondsAt(day.byPlace, place));
        separator = ", ";
    }
    html += ")";
}

// Rows of the totals' table: the outage time split by where it was.
void AppendPlaceTotals(std::string& html, const OutagePage& page)
{
    for (std::size_t i = 0; i < kOutagePlaces; ++i) {
        html.append("<tr><th>– ").append(PlaceText(kPlaces[i])).append("</th><td class=\"number\" id=\"");
        html.append(kPlaceIds[i]).append("\">").append(FormatDuration(page.outageByPlace[i])).append("</td></tr>\n");
    }
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

void AppendUnwatchedTotal(std::string& html, const OutagePage& page)
{
    html += "<tr><th>Nenadzorovani čas</th><td class=\"number\" id=\"unwatched-time\">" +
            FormatDuration(page.unwatchedSeconds) + "</td></tr>\n";
}

// The unwatched seconds of each day from firstDay to lastDay.
std::vector<std::int64_t> UnwatchedByDay(const std::vector<Stretch>& unwatched, std::int64_t firstDay,
                                         std::int64_t lastDay)
{
    std::vector<std::int64_t> days(static_cast<std::size_t>(lastDay - firstDay + 1));
    const StampSeconds begin = firstDay * kSecondsPerDay, end = (lastDay + 1) * kSecondsPerDay;
    for (const Stretch& stretch : unwatched) {
        for (StampSeconds at = std::max(stretch.from, begin); at < std::min(stretch.to, end);) {
            const std::int64_t day = (at - begin) / kSecondsPerDay + firstDay;
            const StampSeconds next = std::min((day + 1) * kSecondsPerDay, stretch.to);
            days[static_cast<std::size_t>(day - firstDay)] += next - at;
            at = next;
        }
    }
    return days;
}

// A day's colour by its outages, unless it would be clean and was mostly unwatched.
// A day without a log within the period is wholly unwatched.
const char* CellColour(const char* byOutages, std::int64_t unwatchedSeconds)
{
    const bool clean = byOutages == kDayColours[0].colour || byOutages == kNoLogColour;
    return clean && unwatchedSeconds > kMostlyUnwatched ? kUnwatchedColour : byOutages;
}

void AppendTotals(std::string& html, const OutagePage& page)
{
    html += "<section><h2>Skupaj</h2><table>\n";
    html += "<tr><th>Število prekinitev</th><td class=\"number\" id=\"outage-count\">" +
            std::to_string(page.outageCount) + "</td></tr>\n";
    html += "<tr><th>Skupni čas prekinitev</th><td class=\"number\" id=\"outage-time\">" +
            FormatDuration(page.outageSeconds) + "</td></tr>\n";
    AppendPlaceTotals(html, page);
    html += "<tr><th>Nadzorovani čas</th><td class=\"number\" id=\"monitored-time\">" +
            FormatDuration(page.monitoredSeconds) + "</td></tr>\n";
    AppendUnwatchedTotal(html, page);
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
    const std::vector<std::int64_t> unwatched = UnwatchedByDay(page.unwatched, firstDay, lastDay);
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
        const std::int64_t unwatchedSeconds = unwatched[static_cast<std::size_t>(d - firstDay)];
        html += CellColour(logged ? ColourOfDay(*day) : kNoLogColour, unwatchedSeconds);
        html += "\"><title>";
        AppendDate(html, date);
        html += ": ";
        html += logged ? FormatDuration(day->outageSeconds) : "ni dnevnika";
        if (logged) {
            AppendDayPlaces(html, *day);
        }
        if (unwatchedSeconds > 0) {
            html += ", nenadzorovano " + FormatDuration(unwatchedSeconds);
        }
        html += "</title></rect>\n";
        if (logged) {
            ++day;
        }
    }
    html += "</svg>\n<p class=\"legend\">";
    for (const DayColour& c : kDayColours) {
        html += std::string("<span style=\"background:") + c.colour + "\"></span>" + c.meaning;
    }
    html += std::string("<span style=\"background:") + kHomeOnlyColour + "\"></span>" + kHomeOnlyMeaning;
    html += std::string("<span style=\"background:") + kNoLogColour + "\"></span>ni dnevnika";
    html += std::string("<span style=\"background:") + kUnwatchedColour +
            "\"></span>večinoma nenadzorovano</p></section>\n";
}

// Whether nobody watched for a while between two ten-minute slots: a slot
// between them without records, or an unwatched stretch from one into the
// next. One within a slot shows as its band alone.
bool Unwatched(const std::vector<Stretch>& unwatched, StampSeconds slot, StampSeconds next)
{
    return next - slot > kRttSlotSeconds || std::any_of(unwatched.begin(), unwatched.end(), [&](const Stretch& s) {
               return s.from < next && s.to > slot + kRttSlotSeconds;
           });
}

// The unwatched stretches within [start, end), each a shaded band of the chart's height.
template <class X>
void AppendUnwatchedStretches(std::string& html, const std::vector<Stretch>& unwatched, StampSeconds start,
                              StampSeconds end, const X& x, int height)
{
    for (const Stretch& stretch : unwatched) {
        const StampSeconds from = std::max(stretch.from, start), to = std::min(stretch.to, end);
        Append(html, "<rect class=\"unwatched\" x=\"%.1f\" y=\"0\" width=\"%.1f\" height=\"%d\" fill=\"%s\">", x(from),
               x(to) - x(from), height, kUnwatchedColour);
        html += "<title>nenadzorovano " + FormatStamp(LocalDateTimeOf(stretch.from)) + " – " +
                FormatStamp(LocalDateTimeOf(stretch.to)) + "</title></rect>\n";
    }
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
    std::vector<Stretch> unwatched;
    std::copy_if(page.unwatched.begin(), page.unwatched.end(), std::back_inserter(unwatched),
                 [&](const Stretch& s) { return s.to > start && s.from < end; });
    AppendUnwatchedStretches(html, unwatched, start, end, x, kHeight - kBottom);
    // The maxima as one path of vertical strokes, the medians as one line
    // broken where nobody watched.
    std::string maxima, medians, timeouts;
    StampSeconds previous = start - kRttSlotSeconds;
    for (const RttSlot& slot : page.recentRtt) {
        if (slot.start < start) {
            continue;
        }
        const double at = x(slot.start + kRttSlotSeconds / 2);
        if (slot.replies > 0) {
            medians += medians.empty() || Unwatched(unwatched, previous, slot.start) ? 'M' : 'L';
            previous = slot.start;
            maxima += 'M';
            AppendNumber(maxima, at);
            maxima += ' ';
            AppendNumber(maxima, y(0));
            maxima += 'V';
            AppendNumber(maxima, y(slot.maxMs));
            AppendNumber(medians, at);
            medians += ' ';
            AppendNumber(medians, y(slot.medianMs));
        }
        if (slot.timeouts > 0) {
            Append(timeouts,
                   "<rect x=\"%.1f\" y=\"%.1f\" width=\"2\" height=\"6\" fill=\"#dc2626\"><title>%d brez "
                   "odgovora</title></rect>\n",
                   at - 1, y(0) + 2, slot.timeouts);
        }
    }
    html.append("<path d=\"").append(maxima).append("\" stroke=\"#bcd3ee\"/>\n");
    html.append("<path id=\"medians\" d=\"")
        .append(medians)
        .append("\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1\"/>\n");
    html.append(timeouts);
    html += "</svg>\n<p class=\"legend\"><span style=\"background:#1f5fa8\"></span>mediana"
            "<span style=\"background:#bcd3ee\"></span>največji"
            "<span style=\"background:#dc2626\"></span>brez odgovora"
            "<span style=\"background:" +
            std::string(kUnwatchedColour) + "\"></span>nenadzorovano</p></section>\n";
}

void AppendLongest(std::string& html, const OutagePage& page)
{
    html += "<section><h2>Najdaljše prekinitve</h2>\n";
    if (page.longest.empty()) {
        html += "<p>Ni prekinitev.</p></section>\n";
        return;
    }
    html += "<table class=\"outages\" id=\"longest\"><tr><th>Od</th><th>Do</th><th>Čas</th><th>Kje</th></tr>\n";
    for (const PageOutage& outage : page.longest) {
        html += "<tr><td>" + EscapeHtml(outage.start.Text()) + "</td><td>" + EscapeHtml(outage.end.Text()) +
                "</td><td class=\"number\">" + FormatDuration(outage.Seconds()) + "</td><td>" +
                std::string(PlaceText(outage.place)) + "</td></tr>\n";
    }
    html += "</table></section>\n";
}

// "UTC+1", "UTC+5:30", "UTC-3", with the season named when the period has
// summer time.
std::string OffsetText(const platform::UtcOffset& offset, bool seasons)
{
    const int minutes = std::abs(offset.seconds) / 60;
    std::string text = std::string("UTC") + (offset.seconds < 0 ? "-" : "+") + std::to_string(minutes / 60);
    if (minutes % 60 != 0) {
        Append(text, ":%02d", minutes % 60);
    }
    if (seasons) {
        text += offset.summerTime ? " (poletni čas)" : " (zimski čas)";
    }
    return text;
}

// The offsets, east of UTC last: "UTC+1 (zimski čas) in UTC+2 (poletni čas)".
std::string OffsetsText(std::vector<platform::UtcOffset> offsets)
{
    std::sort(offsets.begin(), offsets.end(), [](const auto& a, const auto& b) {
        return a.seconds != b.seconds ? a.seconds < b.seconds : a.summerTime < b.summerTime;
    });
    const bool seasons = std::any_of(offsets.begin(), offsets.end(), [](const auto& o) { return o.summerTime; });
    std::string text;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        text += i == 0 ? "" : i + 1 == offsets.size() ? " in " : ", ";
        text += OffsetText(offsets[i], seasons);
    }
    return text;
}

// How every number of the page was made, for whoever reads it printed.
void AppendMethod(std::string& html, const OutagePage& page)
{
    html += "<section id=\"method\"><h2>Kako je bilo merjeno</h2>\n<p>Program je vsakih 10 s poslal en ping (ICMP "
            "echo) gostitelju " +
            EscapeHtml(page.hostName) + " (" + EscapeHtml(page.address) +
            ") in na odgovor čakal največ 5 s. Vsak poskus je vrstica dnevnika PING_llllmmdd.txt: čas, odzivni čas "
            "v ms in stanje (0 odgovor, -10 brez odgovora v 5 s). Ob vsakem je poslal še en ping naslednjemu skoku "
            "proti gostitelju (prvemu usmerjevalniku na poti, kot ga tedaj da usmerjevalna tabela) in ga z istim "
            "časom zapisal v GATEWAY_llllmmdd.txt.</p>\n";
    html += "<p>Prekinitev je niz zaporednih zapisov brez odgovora; traja od prvega do zadnjega od njih (razlika "
            "zapisanih časov). Presledek med zapisoma, daljši od ene minute, prekinitev konča. En sam zapis brez "
            "odgovora ni prekinitev. Prekinitve so iste kot v ERR_list.csv. Delež je skupni čas prekinitev, deljen z "
            "nadzorovanim časom.</p>\n";
    html += "<p>Kje je bila prekinitev: od N njenih zapisov brez odgovora jih je A takih, pri katerih je naslednji "
            "skok odgovoril, in S takih, pri katerih mu je bil ping poslan, a ni odgovoril. Prekinitev je »";
    html.append(PlaceText(OutagePlace::Provider))
        .append("«, če je naslednji skok odgovoril pri več kot polovici (2A &gt; N), »")
        .append(PlaceText(OutagePlace::HomeNetwork))
        .append("«, če je molčal pri vsaj polovici (2S ≥ N), sicer »")
        .append(PlaceText(OutagePlace::Unknown))
        .append("« (tudi brez spremljevalnih zapisov: starejši dnevniki ali ni naslednjega skoka).</p>\n");
    html += "<p>Nadzorovani čas je 10 s za vsako vrstico dnevnikov. Nenadzorovani čas je vsak presledek med "
            "zaporednima zapisoma, daljši od ene minute (računalnik izklopljen ali v spanju, program zaprt), od "
            "prvega do drugega zapisa, tudi čez polnoč in čez dneve brez dnevnika; šteje čas, ki je zares pretekel "
            "(ura, ki jo spomladi preskoči premik ure, ni nenadzorovana). Obdobje teče od prvega do zadnjega "
            "zapisa: čas pred prvim in po zadnjem ni ne nadzorovan ne nenadzorovan. Koledar obarva dan po času "
            "prekinitev, ki niso bile v "
            "domačem omrežju; dan, ko so bile vse v domačem omrežju, in dan brez prekinitev, ki je bil več kot pol "
            "dneva nenadzorovan, pokaže posebej. Odzivni čas je mediana in največji čas "
            "odgovorov v vsakih 10 minutah.</p>\n";
    html += "<p>Časi so lokalni čas računalnika, kot je zapisan v dnevnikih";
    if (!page.utcOffsets.empty()) {
        html += ": <span id=\"utc-offsets\">" + OffsetsText(page.utcOffsets) + "</span>";
    }
    html += ".</p></section>\n";
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
    AppendMethod(html, page);
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace vellomar::report
