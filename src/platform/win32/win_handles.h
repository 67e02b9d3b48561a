#pragma once

// Owners for every kind of resource the Windows adapters hold: each closes its resource exactly once,
// when it is reset, replaced or destroyed, and can be moved but not copied.

#include <utility>

#include "platform/win32/win_api.h"

namespace qm::win {

// A value of type T with a "none" value and a function that releases it.
template <typename T, typename Traits>
class UniqueResource {
  public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    T Get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::None(); }
    T Release() { return std::exchange(value_, Traits::None()); }
    void Reset(T value = Traits::None()) {
        const T old = std::exchange(value_, value);
        if (old != Traits::None()) {
            Traits::Close(old);
        }
    }

  private:
    T value_ = Traits::None();
};

struct HandleTraits {
    static HANDLE None() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
// Files use INVALID_HANDLE_VALUE for "none".
struct FileHandleTraits {
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
    static HKEY None() { return nullptr; }
    static void Close(HKEY k) { ::RegCloseKey(k); }
};
struct ScHandleTraits {
    static SC_HANDLE None() { return nullptr; }
    static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ None() { return nullptr; }
    static void Close(HGDIOBJ o) { ::DeleteObject(o); }
};
struct MemoryDcTraits {
    static HDC None() { return nullptr; }
    static void Close(HDC dc) { ::DeleteDC(dc); }
};
struct WindowTraits {
    static HWND None() { return nullptr; }
    static void Close(HWND w) { ::DestroyWindow(w); }
};
struct HookTraits {
    static HHOOK None() { return nullptr; }
    static void Close(HHOOK h) { ::UnhookWindowsHookEx(h); }
};
struct IconTraits {
    static HICON None() { return nullptr; }
    static void Close(HICON i) { ::DestroyIcon(i); }
};

using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;
using UniqueFile = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueRegKey = UniqueResource<HKEY, RegKeyTraits>;
using UniqueScHandle = UniqueResource<SC_HANDLE, ScHandleTraits>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;
using UniqueMemoryDc = UniqueResource<HDC, MemoryDcTraits>;
using UniqueWindow = UniqueResource<HWND, WindowTraits>;
using UniqueHook = UniqueResource<HHOOK, HookTraits>;
using UniqueIcon = UniqueResource<HICON, IconTraits>;

// The device context of a window (GetDC), released with ReleaseDC. The screen's when `window` is null.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) {
            ::ReleaseDC(window_, dc_);
        }
    }
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint ... EndPaint.
class PaintDc {
  public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { ::EndPaint(window_, &paint_); }
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (old_) {
            ::SelectObject(dc_, old_);
        }
    }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A counted reference to a COM interface.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr result;
        result.p_ = p;
        return result;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p) {
            p->AddRef();
        }
        return Attach(p);
    }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) {
            p_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }
    // For out parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &p_;
    }
    template <typename U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> result;
        if (p_) {
            p_->QueryInterface(iid, reinterpret_cast<void**>(result.Put()));
        }
        return result;
    }

  private:
    T* p_ = nullptr;
};

// OleInitialize ... OleUninitialize on the user-interface thread (COM in a single-threaded apartment, with
// OLE's drag and drop and in-place activation that the hosted browser needs).
class OleScope {
  public:
    OleScope() : hr_(::OleInitialize(nullptr)) {}
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    ~OleScope() {
        if (SUCCEEDED(hr_)) {
            ::OleUninitialize();
        }
    }
    bool Ok() const { return SUCCEEDED(hr_); }

  private:
    HRESULT hr_;
};

// A BSTR, freed with SysFreeString.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b_); }
    BSTR Get() const { return b_; }
    BSTR* Put() {
        ::SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::wstring Text() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

  private:
    BSTR b_ = nullptr;
};

// A VARIANT, cleared with VariantClear.
class ScopedVariant {
  public:
    ScopedVariant() { ::VariantInit(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ~ScopedVariant() { ::VariantClear(&v_); }
    VARIANT* Get() { return &v_; }

  private:
    VARIANT v_;
};

}  // namespace qm::win
