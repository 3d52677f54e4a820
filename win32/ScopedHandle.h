//===- ScopedHandle.h - Owner of one Win32 handle -----------------------===//
//
// One movable, non-copyable owner for every kind of handle. The traits say what
// an empty handle looks like and how a held one is closed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "WindowsApi.h"

template <class Traits> class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::empty(); }

    // For calls that return the handle through a pointer: closes what is held first.
    Handle* put() {
        reset();
        return &handle_;
    }

    Handle release() {
        Handle handle = handle_;
        handle_ = Traits::empty();
        return handle;
    }

    void reset(Handle handle = Traits::empty()) {
        if (handle_ != Traits::empty())
            Traits::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::empty();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static void close(Handle handle) { CloseHandle(handle); }
};

// CreateFileA reports failure as INVALID_HANDLE_VALUE, not as null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { CloseHandle(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { FindClose(handle); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle empty() { return nullptr; }
    static void close(Handle handle) { RegCloseKey(handle); }
};

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle empty() { return nullptr; }
    static void close(Handle handle) { CloseServiceHandle(handle); }
};

using UniqueHandle = ScopedHandle<KernelHandleTraits>;
using UniqueFileHandle = ScopedHandle<FileHandleTraits>;
using UniqueFindHandle = ScopedHandle<FindHandleTraits>;
using UniqueRegistryKey = ScopedHandle<RegistryKeyTraits>;
using UniqueServiceHandle = ScopedHandle<ServiceHandleTraits>;
