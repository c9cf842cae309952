#pragma once
// One owner template for every kind of Win32 resource, after the manner of a
// unique_ptr with a close function and an invalid value of its own.

#include <windows.h>
#include <oleauto.h>

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

// Traits give the resource type, its invalid value and its close function.
template <typename Traits>
class UniqueResource {
    using T = typename Traits::Type;
    static T Invalid() noexcept { return Traits::Invalid(); }


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

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    T release() noexcept { return std::exchange(value_, Invalid()); }

    void reset(T value = Invalid()) noexcept {
        T old = std::exchange(value_, value);
        if (old != Invalid()) {
            PreserveLastError keep;
            Traits::Close(old);
        }
    }

    // Address for an out-parameter; the old value is released first.
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid();
};

namespace detail {
template <typename T, T (*InvalidValue)() noexcept, void (*CloseFn)(T) noexcept>
struct Traits {
    using Type = T;
    static T Invalid() noexcept { return InvalidValue(); }
    static void Close(T value) noexcept { CloseFn(value); }
};
inline HANDLE NullHandle() noexcept { return nullptr; }
inline HANDLE InvalidFileHandle() noexcept { return INVALID_HANDLE_VALUE; }
inline HKEY NullKey() noexcept { return nullptr; }
inline BSTR NullBstr() noexcept { return nullptr; }
inline DWORD NoTlsSlot() noexcept { return TLS_OUT_OF_INDEXES; }
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseRegKey(HKEY k) noexcept { ::RegCloseKey(k); }
inline void FreeBstr(BSTR s) noexcept { ::SysFreeString(s); }
inline void FreeTlsSlot(DWORD slot) noexcept { ::TlsFree(slot); }
}  // namespace detail

// Kernel objects (events, mutexes, threads): null is invalid.
using UniqueHandle = UniqueResource<detail::Traits<HANDLE, detail::NullHandle, detail::CloseKernelHandle>>;
// CreateFile results (ports, files): INVALID_HANDLE_VALUE is invalid.
using UniqueFile = UniqueResource<detail::Traits<HANDLE, detail::InvalidFileHandle, detail::CloseKernelHandle>>;
using UniqueKey = UniqueResource<detail::Traits<HKEY, detail::NullKey, detail::CloseRegKey>>;
using UniqueBstr = UniqueResource<detail::Traits<BSTR, detail::NullBstr, detail::FreeBstr>>;
using UniqueTlsSlot = UniqueResource<detail::Traits<DWORD, detail::NoTlsSlot, detail::FreeTlsSlot>>;

// A VARIANT that is cleared when it goes out of scope.
class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&v_); }
    ~UniqueVariant() { VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }
    VARIANT* operator->() noexcept { return &v_; }

private:
    VARIANT v_;
};

// A critical section owned for the life of its object.
class CriticalSection {
public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() noexcept { EnterCriticalSection(&cs_); }
    void unlock() noexcept { LeaveCriticalSection(&cs_); }

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
