#include "command/program_search.h"

#include <cstddef>

namespace modVantrel {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// A folder that names itself whatever the current folder is: "c:\..." or "\\server\...". Any
// other entry ("bin", ".", "\tools", "c:tools") would let the current folder or drive decide
// what runs.
bool IsAbsoluteFolder(std::wstring_view folder) {
    if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
        return true;
    }
    return folder.size() >= 3 && folder[1] == L':' && IsSeparator(folder[2]);
}

std::wstring Joined(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (!path.empty() && !IsSeparator(path.back())) {
        path += L'\\';
    }
    path += name;
    return path;
}

// The full path of `name` in `folder`, by the name the lookup found; empty when it found none.
std::wstring FindIn(Platform& platform, std::wstring_view folder, const std::wstring& name) {
    const std::wstring found = platform.LookupFile(Joined(folder, name));
    return found.empty() ? found : Joined(folder, found);
}

}  // namespace

std::wstring FindProgram(Platform& platform, const std::wstring& path) {
    if (path.find_first_of(L"\\/:*?") != std::wstring::npos) {
        return platform.LookupFile(path).empty() ? std::wstring() : path;
    }
    if (!platform.EnvironmentVariable(L"NoDefaultCurrentDirectoryInExePath")) {
        const std::wstring found = platform.LookupFile(path);
        if (!found.empty()) {
            return Joined(platform.CurrentDirectory(), found);
        }
    }
    const std::wstring folders = platform.EnvironmentVariable(L"PATH").value_or(L"");
    for (std::size_t begin = 0; begin < folders.size();) {
        std::size_t end = folders.find(L';', begin);
        end = end == std::wstring::npos ? folders.size() : end;
        // The quotes that some entries carry are no part of the folder's name.
        std::wstring folder;
        for (std::size_t at = begin; at < end; ++at) {
            if (folders[at] != L'"') {
                folder += folders[at];
            }
        }
        begin = end + 1;
        if (IsAbsoluteFolder(folder)) {
            std::wstring found = FindIn(platform, folder, path);
            if (!found.empty()) {
                return found;
            }
        }
    }
    return {};
}

std::wstring WithProgramPath(std::wstring_view line, const CommandLineRequest& request,
                             std::wstring_view program) {
    if (program == request.path) {
        return std::wstring(line);  // not searched for: the elevated run reads the line alike
    }
    std::wstring text(line.substr(0, request.pathBegin));
    text += L'"';
    text += program;
    text += L'"';
    text += line.substr(request.pathEnd);
    return text;
}

}  // namespace modVantrel
