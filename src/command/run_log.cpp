#include "command/run_log.h"

#include <cstdlib>
#include <utility>

#include "command/text.h"

namespace modVantrel {
namespace {

constexpr std::wstring_view kLineEnd = L"\r\n";
constexpr std::uint32_t kErrorInvalidParameter = 87;

}  // namespace

std::wstring IsoLocalTime(const LocalTime& time) {
    const auto offset = static_cast<unsigned>(std::abs(time.utcOffsetMinutes));
    const wchar_t sign = time.utcOffsetMinutes < 0 ? L'-' : L'+';
    // Each field after the year, two digits, and the character before it.
    const std::pair<wchar_t, unsigned> fields[] = {
        {L'-', time.month},  {L'-', time.day},    {L'T', time.hour},  {L':', time.minute},
        {L':', time.second}, {sign, offset / 60}, {L':', offset % 60}};
    std::wstring text = Decimal(time.year);
    for (const auto& [before, value] : fields) {
        text += before;
        text += static_cast<wchar_t>(L'0' + value / 10 % 10);
        text += static_cast<wchar_t>(L'0' + value % 10);
    }
    return text;
}

RunLog::RunLog(Platform& platform, std::wstring_view commandText)
    : platform_(platform), commandText_(commandText), log_(platform) {}

RunLog::~RunLog() {
    StartOnce(commandText_);
}

std::uint32_t RunLog::Open(const std::wstring& path) {
    // The system would take an empty name for a missing path; it names no file at all.
    if (path.empty()) {
        return kErrorInvalidParameter;
    }
    std::uint32_t error = 0;
    log_.receive() = platform_.OpenLog(path, error);
    return log_.get() != nullptr ? 0 : error;
}

void RunLog::Started(std::wstring_view commandLine) {
    StartOnce(commandLine);
}

void RunLog::Message(const std::wstring& text) {
    if (log_.get() != nullptr) {
        StartOnce(commandText_);
        platform_.WriteLog(log_.get(), text);
    } else if (platform_.CanShowBoxes()) {  // a box that nobody can answer would hold the run
        platform_.ShowMessage(text);
    } else {
        platform_.WriteError(text);
    }
}

void RunLog::Report(const std::wstring& line) {
    const Handle log = log_.get();
    const bool atLineStart =
        log != nullptr ? platform_.LogAtLineStart(log) : platform_.ErrorAtLineStart();
    const std::wstring text = std::wstring(atLineStart ? L"" : kLineEnd) + line;
    if (log != nullptr) {
        platform_.WriteLog(log, text);
    } else {
        platform_.WriteReport(text);
    }
}

// One line, in one write, so that runs appending to the same log never tear each other's lines.
void RunLog::StartOnce(std::wstring_view started) {
    if (log_.get() == nullptr || started_) {
        return;
    }
    started_ = true;
    std::wstring line = L"vantrel: " + IsoLocalTime(platform_.LocalNow()) + L" started ";
    line.append(started).append(kLineEnd);
    platform_.WriteLog(log_.get(), line);
}

}  // namespace modVantrel
