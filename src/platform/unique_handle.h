// Owns one Windows handle and closes it on every way out. Kernel objects are closed with
// CloseHandle, searches begun by FindFirstFile with FindClose; null and INVALID_HANDLE_VALUE own
// nothing, since the Windows calls return one or the other for "no handle".
#pragma once

#include <windows.h>

#include <utility>

namespace modVantrel {

template <typename Closer>
class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    // Gives the handle up to the caller, who closes it from now on.
    HANDLE Release() noexcept { return std::exchange(handle_, nullptr); }
    void Reset(HANDLE handle = nullptr) noexcept {
        if (valid()) {
            Closer{}(handle_);
        }
        handle_ = handle;
    }

  private:
    HANDLE handle_;
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
struct CloseSearchHandle {
    void operator()(HANDLE handle) const noexcept { ::FindClose(handle); }
};

using KernelHandle = UniqueHandle<CloseKernelHandle>;
using SearchHandle = UniqueHandle<CloseSearchHandle>;

}  // namespace modVantrel
