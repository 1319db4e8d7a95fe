#include "harness.h"

#include <windows.h>

#include <cwchar>

namespace e2e {

std::filesystem::path Beside(const wchar_t* name) {
    wchar_t self[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    return std::filesystem::path(self).parent_path() / name;
}

void Print(std::wstring_view text) {
    if (text.empty()) {
        return;
    }
    const int length = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
                &written, nullptr);
}

std::wstring Visible(std::wstring_view text) {
    std::wstring shown;
    for (const wchar_t c : text) {
        if (c == L'\r') {
            shown += L"\\r";
        } else if (c == L'\n') {
            shown += L"\\n";
        } else if (c == L'\t') {
            shown += L"\\t";
        } else if (c < 0x20 || c > 0x7E) {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\u%04X", static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

void Suite::Report(const std::wstring& name, const Checks& checks) {
    if (checks.passed()) {
        ++passed_;
        Print(L"ok    " + name + L"\n");
    } else {
        ++failed_;
        Print(L"FAIL  " + name + L": " + checks.failures() + L"\n");
    }
}

int Suite::Finish() {
    Print(std::to_wstring(passed_) + L" passed, " + std::to_wstring(failed_) + L" failed\n");
    return failed_ == 0 && passed_ > 0 ? 0 : 1;
}

}  // namespace e2e
