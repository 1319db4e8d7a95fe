// Where a run's own lines go: with "/log:", appended to its file and shown nowhere else, since a
// logged run is an unattended one; without, a box or standard error, as ever.
#pragma once

#include <string>
#include <string_view>

#include "launch/owned_handle.h"
#include "platform/platform.h"

namespace modVantrel {

// "2024-03-09T22:05:07-05:30": the local date and time, ISO 8601, with the offset from UTC.
std::wstring IsoLocalTime(const LocalTime& time);

class RunLog {
  public:
    // `commandText` is the line as typed, which the start line names when nothing is launched.
    RunLog(Platform& platform, std::wstring_view commandText);
    // A run that ends before a launch, with or without a message, still leaves its start line.
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Opens the file to append to: 0, or the error code (87 for an empty name).
    std::uint32_t Open(const std::wstring& path);
    // The log, for the program's standard output and error; null without one.
    Handle handle() const { return log_.get(); }

    // The start line for a launch: the command line that the program is created with.
    void Started(std::wstring_view commandLine);
    // A message's whole text: in the log after the start line, or else in a box, or on standard
    // error where no box can be answered.
    void Message(const std::wstring& text);
    // The report, which begins a line of its own after output that did not end one.
    void Report(const std::wstring& line);

  private:
    void StartOnce(std::wstring_view started);

    Platform& platform_;
    std::wstring_view commandText_;
    OwnedHandle log_;
    bool started_ = false;
};

}  // namespace modVantrel
