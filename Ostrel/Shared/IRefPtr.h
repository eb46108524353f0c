// IRefPtr<T>: owns one reference to a COM interface and releases it when reset or
// destroyed. Shared by Vantor.exe and VantorX64.exe. It needs nothing from T but
// Release(), so the same header serves portable code and tests with fakes.
//
// In the 64-bit build misuse is reported: taking the address of a pointer that still
// holds an object ("m_pObj==NULL"; the old object is released rather than leaked) and
// dereferencing an empty one ("m_pObj"). The reports go to g_pfnRefPtrCheckFailed,
// which the programs carrying the hook library's shared code point at the library's
// g_pLog (Ostrel/Shared/RefPtrReport.cpp); elsewhere (the sound readers of VantorRec,
// say) nothing listens, and nothing here depends on the hook library.
#pragma once

#include <cstddef>
#include <memory>

#if defined(_WIN64)
// One per module; null: misuse goes unreported.
inline void (*g_pfnRefPtrCheckFailed)(const char* pszExpression, const char* pszFile, int nLine) = nullptr;
#define IREFPTR_CHECK(expr)                                                                           \
  do {                                                                                                \
    if (!(expr) && g_pfnRefPtrCheckFailed) g_pfnRefPtrCheckFailed(#expr, "IRefPtr", __LINE__); \
  } while (0)
#else
#define IREFPTR_CHECK(expr) ((void)0)
#endif

template <class T>
class IRefPtr {
 public:
  IRefPtr() noexcept : m_pObj(nullptr) {}
  // Adopts the caller's reference; no AddRef.
  explicit IRefPtr(T* pObj) noexcept : m_pObj(pObj) {}
  IRefPtr(IRefPtr&& other) noexcept : m_pObj(other.Detach()) {}
  IRefPtr& operator=(IRefPtr&& other) noexcept {
    if (this != std::addressof(other)) Attach(other.Detach());
    return *this;
  }
  IRefPtr(const IRefPtr&) = delete;
  IRefPtr& operator=(const IRefPtr&) = delete;
  ~IRefPtr() { Reset(); }

  // Releases the held object, if any. The pointer is cleared first so that a
  // Release that reaches back into this owner finds it empty.
  void Reset() noexcept {
    T* pObj = m_pObj;
    m_pObj = nullptr;
    if (pObj) pObj->Release();
  }
  // Releases the held object and adopts pObj's reference.
  void Attach(T* pObj) noexcept {
    Reset();
    m_pObj = pObj;
  }
  // Gives the reference to the caller.
  T* Detach() noexcept {
    T* pObj = m_pObj;
    m_pObj = nullptr;
    return pObj;
  }

  // For output parameters: CreateX(..., &pX). The owner's own address is
  // std::addressof(ptr).
  T** operator&() {
    IREFPTR_CHECK(m_pObj==NULL);
    Reset();
    return &m_pObj;
  }
  T* operator->() const {
    IREFPTR_CHECK(m_pObj);
    return m_pObj;
  }
  T& operator*() const {
    IREFPTR_CHECK(m_pObj);
    return *m_pObj;
  }
  operator T*() const noexcept { return m_pObj; }
  T* get_Ptr() const noexcept { return m_pObj; }

 private:
  T* m_pObj;
};
