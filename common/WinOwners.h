#pragma once
// Owners for what COM and GDI hand out: an interface reference, a BSTR, a
// VARIANT and a GDI object, each given back exactly once, by whoever holds it
// last. Move-only: a second reference to an interface is taken on purpose
// (ComPtr::Share), never by a copy.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <oleauto.h>
#include <unknwn.h>

#include <cstddef>
#include <string_view>
#include <utility>

namespace vorpa {

// One reference to a COM interface, released when the owner lets go.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller holds (one that a creation or an
  // out-parameter gave it).
  explicit ComPtr(T* adopted) : p_(adopted) {}
  // Takes a reference of its own to an interface someone else holds.
  static ComPtr Share(T* borrowed) {
    if (borrowed) borrowed->AddRef();
    return ComPtr(borrowed);
  }
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases the one held, then holds `adopted`.
  void reset(T* adopted = nullptr) {
    T* old = std::exchange(p_, adopted);
    if (old) old->Release();
  }
  // Hands the reference to the caller, who releases it.
  [[nodiscard]] T* detach() { return std::exchange(p_, nullptr); }
  // For an out-parameter: the one held is released first, and what the call
  // writes is owned.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

// A BSTR, freed with SysFreeString.
class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(BSTR adopted) : s_(adopted) {}
  // A copy of the text; empty (get() null) when memory runs out.
  static UniqueBstr FromText(std::wstring_view text) {
    return UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  }
  ~UniqueBstr() { reset(); }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  UniqueBstr(UniqueBstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.s_, nullptr));
    return *this;
  }

  BSTR get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  // The text by its stored length: a BSTR may hold NULs.
  std::wstring_view view() const { return s_ ? std::wstring_view(s_, SysStringLen(s_)) : std::wstring_view(); }
  void reset(BSTR adopted = nullptr) {
    BSTR old = std::exchange(s_, adopted);
    if (old) SysFreeString(old);
  }
  [[nodiscard]] BSTR detach() { return std::exchange(s_, nullptr); }
  BSTR* put() {
    reset();
    return &s_;
  }

 private:
  BSTR s_ = nullptr;
};

// A VARIANT, cleared with VariantClear: the string it holds is freed, the
// interface it holds released.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&v_); }
  // Holds the string, which it then owns.
  explicit UniqueVariant(UniqueBstr text) : UniqueVariant() {
    v_.vt = VT_BSTR;
    v_.bstrVal = text.detach();
  }
  ~UniqueVariant() { reset(); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  // A VARIANT is plain data: moving it is a copy of its bytes and an empty
  // one left behind.
  UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    if (this != &other) {
      reset();
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }

  // Read, or passed by value as an argument that the callee only borrows.
  const VARIANT& get() const { return v_; }
  void reset() {
    VariantClear(&v_);
    VariantInit(&v_);
  }
  // For a result: the one held is cleared first, and what the call writes is
  // owned.
  VARIANT* put() {
    reset();
    return &v_;
  }

 private:
  VARIANT v_;
};

// A GDI object (a font, a brush, a bitmap...), deleted with DeleteObject. It
// must no longer be selected into a device context by then.
template <typename H>
class UniqueGdiObject {
 public:
  UniqueGdiObject() = default;
  explicit UniqueGdiObject(H adopted) : h_(adopted) {}
  ~UniqueGdiObject() { reset(); }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  UniqueGdiObject(UniqueGdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) reset(std::exchange(other.h_, nullptr));
    return *this;
  }

  H get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(H adopted = nullptr) {
    H old = std::exchange(h_, adopted);
    if (old) DeleteObject(old);
  }

 private:
  H h_ = nullptr;
};

using UniqueFont = UniqueGdiObject<HFONT>;

}  // namespace vorpa
