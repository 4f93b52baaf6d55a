#pragma once
// Reference-counted objects with interface queries, the way automation
// components and their hosts hand objects to each other across libraries.

#include "Guid.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace automation {

using HRESULT = std::int32_t;
using DISPID = std::int32_t;

// Result codes keep their well-known numbers so they read the same everywhere.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
inline constexpr HRESULT CTL_E_SETNOTSUPPORTED = static_cast<HRESULT>(0x800A017F);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);
inline constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

inline constexpr IID IID_IUnknown = MakeGuid("{00000000-0000-0000-C000-000000000046}");

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Owning pointer to an interface: AddRef on copy, Release on drop.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes an added reference along with the pointer (as returned by a factory).
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Shares a borrowed pointer: adds a reference of its own.
    explicit ComPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases the current object first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Detach() { return std::exchange(p_, nullptr); }

    template <class U> ComPtr<U> As(const IID& iid) const {
        ComPtr<U> out;
        if (p_)
            p_->QueryInterface(iid, out.PutVoid());
        return out;
    }

private:
    T* p_ = nullptr;
};

// Shared reference counting for implementation classes. The object deletes
// itself when the last reference goes; counts are atomic because events and
// worker threads hold references too.
class RefCount {
public:
    std::uint32_t Add() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t Drop() { return count_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    std::uint32_t Value() const { return count_.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint32_t> count_{1};
};

// Implements AddRef/Release for a class; the class provides QueryInterface.
#define AUTOMATION_REFCOUNTED                                                                      \
public:                                                                                            \
    std::uint32_t AddRef() override {                                                              \
        return refs_.Add();                                                                        \
    }                                                                                              \
    std::uint32_t Release() override {                                                             \
        const std::uint32_t left = refs_.Drop();                                                   \
        if (left == 0)                                                                             \
            delete this;                                                                           \
        return left;                                                                               \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    ::automation::RefCount refs_;

} // namespace automation
