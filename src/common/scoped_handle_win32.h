// A kernel handle owned by one scope: threads, files, events. Closed by
// whoever holds it when it goes, on every path.
#pragma once

#include <windows.h>

#include <utility>

class ScopedHandle {
public:
    ScopedHandle() = default;
    // Takes a handle as the creating call gave it; null and
    // INVALID_HANDLE_VALUE both mean none.
    explicit ScopedHandle(HANDLE handle)
        : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle)
    {
    }
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr))
    {
    }
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset()
    {
        if (handle_ != nullptr) CloseHandle(std::exchange(handle_, nullptr));
    }

private:
    HANDLE handle_ = nullptr;
};
