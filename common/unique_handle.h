#pragma once
// One owner template for every kind of Win32 resource, after the manner of a
// unique_ptr with a close function and an invalid value of its own.

#include <windows.h>

#include <type_traits>
#include <utility>

namespace ka {

// Cleanup must not disturb the last-error code: log lines show it as it was.
class PreserveLastError {
public:
    PreserveLastError() noexcept : saved_(GetLastError()) {}
    ~PreserveLastError() { SetLastError(saved_); }
    PreserveLastError(const PreserveLastError&) = delete;
    PreserveLastError& operator=(const PreserveLastError&) = delete;

private:
    DWORD saved_;
};

// Traits give the resource type, its invalid value, how to tell a valid one and how to close
// it. The one template serves kernel handles, registry keys, COM pointers, BSTRs, VARIANTs and
// the apartment of a thread alike.
template <typename Traits>
class UniqueResource {
    using T = typename Traits::Type;

public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    const T& get() const noexcept { return value_; }
    bool valid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return valid(); }
    // Member access: the object a pointer resource points to, or the value itself.
    auto operator->() const noexcept {
        if constexpr (std::is_pointer_v<T>) {
            return value_;
        } else {
            return &value_;
        }
    }

    T release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void reset(T value = Traits::Invalid()) noexcept {
        T old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            PreserveLastError keep;
            Traits::Close(old);
        }
    }

    // Address for an out-parameter; the old value is released first.
    T* put() noexcept {
        reset();
        return &value_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    // Address for a call that works on the value in place (a VARIANT changed where it stands).
    T* addressof() noexcept { return &value_; }

private:
    T value_ = Traits::Invalid();
};

namespace detail {
template <typename T, T (*InvalidValue)() noexcept, void (*CloseFn)(T) noexcept>
struct Traits {
    using Type = T;
    static T Invalid() noexcept { return InvalidValue(); }
    static bool IsValid(T value) noexcept { return value != InvalidValue(); }
    static void Close(T value) noexcept { CloseFn(value); }
};
inline HANDLE NullHandle() noexcept { return nullptr; }
inline HANDLE InvalidFileHandle() noexcept { return INVALID_HANDLE_VALUE; }
inline HKEY NullKey() noexcept { return nullptr; }
inline DWORD NoTlsSlot() noexcept { return TLS_OUT_OF_INDEXES; }
inline HMODULE NullModule() noexcept { return nullptr; }
inline void* NullView() noexcept { return nullptr; }
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseRegKey(HKEY k) noexcept { ::RegCloseKey(k); }
inline void FreeTlsSlot(DWORD slot) noexcept { ::TlsFree(slot); }
inline void UnloadLibrary(HMODULE module) noexcept { ::FreeLibrary(module); }
inline void UnmapView(void* view) noexcept { ::UnmapViewOfFile(view); }
}  // namespace detail

// Kernel objects (events, mutexes, threads): null is invalid.
using UniqueHandle = UniqueResource<detail::Traits<HANDLE, detail::NullHandle, detail::CloseKernelHandle>>;
// CreateFile results (ports, files): INVALID_HANDLE_VALUE is invalid.
using UniqueFile = UniqueResource<detail::Traits<HANDLE, detail::InvalidFileHandle, detail::CloseKernelHandle>>;
using UniqueKey = UniqueResource<detail::Traits<HKEY, detail::NullKey, detail::CloseRegKey>>;
using UniqueTlsSlot = UniqueResource<detail::Traits<DWORD, detail::NoTlsSlot, detail::FreeTlsSlot>>;
// A loaded library.
using UniqueModule = UniqueResource<detail::Traits<HMODULE, detail::NullModule, detail::UnloadLibrary>>;
// A view of a file mapping.
using UniqueMappedView = UniqueResource<detail::Traits<void*, detail::NullView, detail::UnmapView>>;

// A critical section owned for the life of its object.
class CriticalSection {
public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() noexcept { EnterCriticalSection(&cs_); }
    void unlock() noexcept { LeaveCriticalSection(&cs_); }
    // For a condition variable that sleeps on it.
    CRITICAL_SECTION* native() noexcept { return &cs_; }

private:
    CRITICAL_SECTION cs_;
};

// Holds a mutex acquired by a successful wait and releases it once.
class MutexHold {
public:
    explicit MutexHold(HANDLE mutex) noexcept : mutex_(mutex) {}
    ~MutexHold() {
        if (mutex_) {
            PreserveLastError keep;
            ReleaseMutex(mutex_);
        }
    }
    MutexHold(const MutexHold&) = delete;
    MutexHold& operator=(const MutexHold&) = delete;

private:
    HANDLE mutex_;
};

}  // namespace ka
