#include "probe_record.h"

namespace vellomar::report {
namespace {

bool IsDigits(std::string_view text)
{
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool IsWholeNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    return IsDigits(text);
}

// The text up to the next comma, or all of it.
std::string_view Piece(std::string_view text)
{
    return text.substr(0, text.find(','));
}

}  // namespace

std::optional<ProbeRecord> ProbeRecordParser::Parse(std::string_view line)
{
    if (line.size() <= kStampLength || line[kStampLength] != ',') {
        return std::nullopt;
    }
    const std::string_view afterStamp = line.substr(kStampLength + 1);
    const std::string_view roundTrip = Piece(afterStamp);
    if (roundTrip.size() == afterStamp.size() || !IsDigits(roundTrip)) {
        return std::nullopt;  // no status piece, or a round-trip time that is no number
    }
    const std::string_view status = Piece(afterStamp.substr(roundTrip.size() + 1));
    if (!IsWholeNumber(status)) {
        return std::nullopt;
    }
    const auto seconds = stamps_.Parse(line.data());
    if (!seconds) {
        return std::nullopt;
    }
    return ProbeRecord{line.substr(0, kStampLength), *seconds, status == "-10"};
}

}  // namespace vellomar::report
