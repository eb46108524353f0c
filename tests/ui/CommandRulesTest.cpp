// The recording commands' rules: hotkey words to registrations, hotkey ids to commands,
// and the frame rate a typed text asks for.
#include <gtest/gtest.h>

#include "ui/CommandRules.h"

namespace vantor {
namespace {

TEST(ui_CommandRules, HotKeyWordsRegisterAsTheControlMeansThem) {
  constexpr std::uint32_t kAlt = 1, kControl = 2, kShift = 4, kWin = 8;
  struct Case {
    std::uint16_t wWord;
    std::uint32_t nModifiers, nKey;
  } cases[] = {
      {0x0075, 0, 0x75},                 // F6
      {0x0178, kShift, 0x78},            // Shift+F9
      {0x0452, kAlt, 0x52},              // Alt+R
      {0x0652, kAlt | kControl, 0x52},   // Ctrl+Alt+R
      {0x0552, kAlt | kShift, 0x52},     // Shift+Alt+R
      {0x0352, kControl | kShift, 0x52}, // Ctrl+Shift+R
      {0x0875, kWin, 0x75},              // the extended-key bit registers as MOD_WIN
      {0xF475, kAlt, 0x75},              // bits above the four modifiers are not looked at
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HotKeyToModifiers(c.wWord), c.nModifiers) << std::hex << c.wWord;
    EXPECT_EQ(HotKeyVirtualKey(c.wWord), c.nKey) << std::hex << c.wWord;
  }
}

TEST(ui_CommandRules, HotKeyIdsComeInPairs) {
  EXPECT_EQ(CommandForHotKey(1001), HotKeyCommand::kRecord);
  EXPECT_EQ(CommandForHotKey(1002), HotKeyCommand::kRecord);
  EXPECT_EQ(CommandForHotKey(1003), HotKeyCommand::kPause);
  EXPECT_EQ(CommandForHotKey(1004), HotKeyCommand::kPause);
  EXPECT_EQ(CommandForHotKey(1005), HotKeyCommand::kStop);
  EXPECT_EQ(CommandForHotKey(1006), HotKeyCommand::kStop);
  EXPECT_EQ(CommandForHotKey(1000), HotKeyCommand::kNone);
  EXPECT_EQ(CommandForHotKey(1007), HotKeyCommand::kNone);
}

TEST(ui_CommandRules, FrameRateIsTheLeadingDecimalNumber) {
  struct Case {
    const wchar_t* pszText;
    float fRate;
  } cases[] = {
      {L"25.0 fps", 25.0f}, {L"12.5 fps", 12.5f}, {L"30", 30.0f}, {L"  15fps", 15.0f},
      {L"7.", 7.0f},        {L".5", 0.5f},        {L"", 0.0f},    {L"fps", 0.0f},
      {L"1.2.3", 1.2f},     {L"-5", 0.0f},        {L"inf", 0.0f}, {L"nan", 0.0f},
      {L"0x1E", 0.0f},      {L"1e3", 1.0f},       {L"60\x4E2D", 60.0f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(FrameRateFromText(c.pszText), c.fRate) << c.pszText;
}

}  // namespace
}  // namespace vantor
