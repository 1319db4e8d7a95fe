// Handles that the platform opened for the portable code, closed through the platform.
#pragma once

#include "platform/platform.h"

namespace modVantrel {

// Closes a handle the caller owns, if there is one, and forgets it.
inline void CloseOwned(Platform& platform, Handle& handle) {
    if (handle != nullptr) {
        platform.CloseHandle(handle);
        handle = nullptr;
    }
}

// Owns one handle that the platform opened, and closes it on every way out.
class OwnedHandle {
  public:
    explicit OwnedHandle(Platform& platform, Handle handle = nullptr)
        : platform_(platform), handle_(handle) {}
    ~OwnedHandle() { CloseOwned(platform_, handle_); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle get() const { return handle_; }
    Handle& receive() { return handle_; }  // for a call that hands out a new handle

  private:
    Platform& platform_;
    Handle handle_;
};

}  // namespace modVantrel
