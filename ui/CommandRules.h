// The recording commands' portable rules: the global hotkeys (their ids, the hotkey
// word a hotkey control gives and what RegisterHotKey takes for it) and the frame-rate
// text of the video page.
#pragma once
#include <cstdint>
#include <string>

namespace vantor {

// The main dialog's hotkey ids, in pairs registered with the same combination.
constexpr int kHotKeyRecord1 = 1001, kHotKeyRecord2 = 1002;
constexpr int kHotKeyPause1 = 1003, kHotKeyPause2 = 1004;
constexpr int kHotKeyStop1 = 1005, kHotKeyStop2 = 1006;

enum class HotKeyCommand { kNone, kRecord, kPause, kStop };

// What a WM_HOTKEY id asks for.
HotKeyCommand CommandForHotKey(int nId);

// A hotkey control's word: low byte the virtual key, high byte its modifier bits
// (1 Shift, 2 Control, 4 Alt, 8 extended key).
// The registration's modifiers (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8): the
// control's Shift and Alt bits trade places; Control passes through, and so does the
// extended-key bit, which therefore registers as MOD_WIN.
std::uint32_t HotKeyToModifiers(std::uint16_t wHotKey);
// The registration's key.
inline std::uint32_t HotKeyVirtualKey(std::uint16_t wHotKey) { return wHotKey & 0xFFu; }

// The frame rate a frame-rate text asks for: its leading decimal number ("25.0 fps"
// gives 25, "12.5 fps" 12.5), leading blanks skipped; a text without one gives 0.
// Only plain decimals count: no hexadecimal, exponents, "inf" or "nan", so that what a
// user types can never make an endless or undefined rate.
float FrameRateFromText(const std::wstring& strText);

}  // namespace vantor
