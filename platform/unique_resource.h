// Move-only owners for the platform resources a call acquires: device lists,
// registry keys, file and mutex handles, and LocalAlloc blocks.  Each owner
// releases on destruction, so every path out of a call releases what it
// took.  Both null and INVALID_HANDLE_VALUE count as "nothing held".  The
// owners are used like std::unique_ptr and named as it is (get, release,
// reset), with valid() and out() beside them.
#ifndef PLATFORM_UNIQUE_RESOURCE_H
#define PLATFORM_UNIQUE_RESOURCE_H

#include <utility>

#include "win32.h"

namespace platform {

template <typename Handle, typename Release>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(Handle h) : handle_(h) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    bool valid() const { return !IsNone(handle_); }
    explicit operator bool() const { return valid(); }
    Handle get() const { return handle_; }

    // For out-parameters: releases what is held and hands out the slot.
    Handle* out() {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Handle()); }
    void reset(Handle h = Handle()) {
        Handle old = std::exchange(handle_, h);
        if (!IsNone(old)) Release()(old);
    }

private:
    static bool IsNone(Handle h) {
        return h == Handle() || reinterpret_cast<HANDLE>(h) == INVALID_HANDLE_VALUE;
    }

    Handle handle_ = Handle();
};

struct DestroyDeviceList {
    void operator()(HDEVINFO h) const { SetupDiDestroyDeviceInfoList(h); }
};
struct CloseRegistryKey {
    void operator()(HKEY h) const { RegCloseKey(h); }
};
struct CloseKernelHandle {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct FreeLocalBlock {
    void operator()(HLOCAL h) const { LocalFree(h); }
};

using DeviceList = UniqueResource<HDEVINFO, DestroyDeviceList>;
using RegistryKey = UniqueResource<HKEY, CloseRegistryKey>;
using DeviceHandle = UniqueResource<HANDLE, CloseKernelHandle>;
using MutexHandle = UniqueResource<HANDLE, CloseKernelHandle>;
using LocalBlock = UniqueResource<HLOCAL, FreeLocalBlock>;

}  // namespace platform

#endif
