// The one small harness of the Win32-side suites: one line per case, then "N passed, M failed".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace e2e {

// A file in this program's own folder.
std::filesystem::path Beside(const wchar_t* name);

// Writes UTF-8 to standard output, so that names outside ASCII reach a terminal intact.
void Print(std::wstring_view text);

// Shows control characters and characters outside ASCII as escapes, for failure details.
std::wstring Visible(std::wstring_view text);

// The failures found in one case; a case passes when it collected none.
class Checks {
  public:
    void Expect(bool ok, const std::wstring& what) {
        if (!ok) {
            failures_ += failures_.empty() ? what : L"; " + what;
        }
    }
    bool passed() const { return failures_.empty(); }
    const std::wstring& failures() const { return failures_; }

  private:
    std::wstring failures_;
};

class Suite {
  public:
    void Report(const std::wstring& name, const Checks& checks);
    // Prints the closing line; the process's exit status: 0 only when every case passed.
    int Finish();

  private:
    int passed_ = 0;
    int failed_ = 0;
};

}  // namespace e2e
