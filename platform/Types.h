// Fixed-size types and result codes shared by portable code and the Win32 edge.
#pragma once
#include <cstdint>

namespace vantor {

// HRESULT-style result: 0 is success, negative values are failures.
using Result = std::int32_t;

constexpr Result kOk = 0;
constexpr Result kInvalidArg = static_cast<Result>(0x80070057u);   // E_INVALIDARG
constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);  // E_OUTOFMEMORY
constexpr Result kFail = static_cast<Result>(0x80004005u);         // E_FAIL

// The Win32 facility with the failure bit set, as HRESULT_FROM_WIN32 builds it.
constexpr Result ResultFromSystemError(std::int32_t code) {
  return code <= 0 ? code
                   : static_cast<Result>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

}  // namespace vantor
