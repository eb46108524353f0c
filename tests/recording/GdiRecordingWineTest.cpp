// The whole GDI recording in the program's own terms (TheGdiRecording()'s Record, Pause,
// Stop, the recording thread, the encoder thread, the border window) on the bench's
// screen with the real Xvid: the commands' decisions, the border round the area, the
// file with exactly one frame per grab, the file name rules, the program's end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "RecorderTestSupport.h"
#include "ScreenTestSupport.h"
#include "app/Settings.h"
#include "overlays/FlashingWnd.h"
#include "recording/EncoderThread.h"
#include "recording/GdiRecordingWin32.h"
#include "recording/OutputFileName.h"

namespace vantor::test {
namespace {

using StartResult = CRecordingControl::StartResult;

COLORREF Stripes(int x, int y) { return ((x / 8 + y / 8) & 1) ? RGB(250, 250, 250) : RGB(20, 40, 200); }

std::wstring Wide(const std::filesystem::path& path) { return path.wstring(); }

// A picture to record, the border window on this thread, and a fresh output folder.
class recording_GdiRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadScreenSize();
    m_pPicture = std::make_unique<CPictureWindow>(300, 200, 160, 120, Stripes);
    ASSERT_TRUE(m_pPicture->WaitShown());
    ::SetCursorPos(g_ScreenWidth - 2, g_ScreenHeight - 2);
    ASSERT_TRUE(m_Border.CreateOverScreen());
    UseBorderWindow(&m_Border);
    g_CaptureRect = {300, 200, 300 + 159, 200 + 119};
    g_FrameRate = 20.0f;
    g_OutputFolder = Wide(m_Dir.get_Path());
  }
  void TearDown() override {
    TheGdiRecording().Stop();
    WaitForRecordingEnd(30000);
    g_EncoderThread.WaitUntilClosed();
    UseBorderWindow(nullptr);
  }
  static bool GrabsReach(std::uint32_t n) {
    return PumpUntil([n] { return TheGdiRecording().get_Control().get_Grabs() >= n; }, 30000);
  }
  static bool InPauseWait() { return PumpUntil([] { return TheGdiRecording().get_Control().IsInPauseWait(); }, 30000); }
  std::vector<std::filesystem::path> Files() const {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(m_Dir.get_Path())) files.push_back(e.path());
    return files;
  }
  static std::size_t VideoFrames(const std::filesystem::path& file) {
    CAviReader avi;
    EXPECT_TRUE(avi.Load(Utf8(file))) << avi.get_Error();
    return avi.get_Chunks("00dc").size();
  }

  CTempDir m_Dir;
  std::unique_ptr<CPictureWindow> m_pPicture;
  CFlashingWnd m_Border;
};

TEST_F(recording_GdiRecording, RecordPauseResumeAndStop) {
  EXPECT_EQ(TheGdiRecording().Record(), StartResult::kStarted);
  EXPECT_EQ(g_Recording.load(), 1);
  EXPECT_EQ(TheGdiRecording().Record(), StartResult::kAlreadyRunning) << "a second Record changes nothing";
  ASSERT_TRUE(GrabsReach(5));

  // The border frames the area, shown without taking the focus.
  HWND hBorder = m_Border.get_Hwnd();
  EXPECT_TRUE(::IsWindowVisible(hBorder));
  EXPECT_NE(::GetForegroundWindow(), hBorder);
  HRGN hRegion = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(hBorder, hRegion), ERROR);
  RECT box;
  ::GetRgnBox(hRegion, &box);
  ::DeleteObject(hRegion);
  EXPECT_EQ(box.left, 292);
  EXPECT_EQ(box.top, 192);
  EXPECT_EQ(box.right, 300 + 159 + 8);
  EXPECT_EQ(box.bottom, 200 + 119 + 8);

  // Pause: no grab until resumed by a second Pause.
  EXPECT_TRUE(TheGdiRecording().Pause());
  ASSERT_TRUE(InPauseWait());
  const std::uint32_t nPaused = TheGdiRecording().get_Control().get_Grabs();
  PumpFor(400);
  EXPECT_EQ(TheGdiRecording().get_Control().get_Grabs(), nPaused);
  EXPECT_FALSE(TheGdiRecording().Pause());
  ASSERT_TRUE(GrabsReach(nPaused + 3));

  // Paused again and resumed by Record.
  EXPECT_TRUE(TheGdiRecording().Pause());
  ASSERT_TRUE(InPauseWait());
  const std::uint32_t nPausedAgain = TheGdiRecording().get_Control().get_Grabs();
  EXPECT_EQ(TheGdiRecording().Record(), StartResult::kResumed);
  ASSERT_TRUE(GrabsReach(nPausedAgain + 3));

  // Stop during a pause ends the recording and finishes the file.
  EXPECT_TRUE(TheGdiRecording().Pause());
  ASSERT_TRUE(InPauseWait());
  TheGdiRecording().Stop();
  ASSERT_TRUE(WaitForRecordingEnd(30000));
  g_EncoderThread.WaitUntilClosed();
  EXPECT_EQ(g_Recording.load(), 0);
  EXPECT_EQ(g_EncoderThread.get_CloseResult(), kOk);
  PumpFor(100);
  EXPECT_FALSE(::IsWindowVisible(hBorder)) << "Stop hides the border";

  const CaptureOutcome outcome = TheGdiRecording().get_Control().get_LastOutcome();
  EXPECT_TRUE(outcome.bStarted) << outcome.strError;
  EXPECT_EQ(outcome.nSkipped, 0u);
  EXPECT_EQ(outcome.nIntervalMs, 50u);
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].wstring(), outcome.strFileName);
  EXPECT_EQ(files[0].extension(), ".avi");
  EXPECT_EQ(files[0].stem().wstring().size(), 16u) << "YYYYMMDD-HHMMSSt";
  // Paused before Stop: nothing was pending, so every grab is in the file.
  EXPECT_EQ(VideoFrames(files[0]), outcome.nGrabs);
  EXPECT_EQ(g_OutputFolder.back(), L'\\') << "the stored folder keeps its separator";
}

TEST_F(recording_GdiRecording, NewRecordingRightAfterStopGetsItsOwnFile) {
  ASSERT_EQ(TheGdiRecording().Record(), StartResult::kStarted);
  ASSERT_TRUE(GrabsReach(3));
  TheGdiRecording().Stop();
  // Record at once, while the first recording may still be finishing its frame.
  ASSERT_EQ(TheGdiRecording().Record(), StartResult::kStarted);
  ASSERT_TRUE(GrabsReach(3));
  EXPECT_TRUE(TheGdiRecording().Pause());
  ASSERT_TRUE(InPauseWait());
  TheGdiRecording().Stop();
  ASSERT_TRUE(WaitForRecordingEnd(30000));
  g_EncoderThread.WaitUntilClosed();
  const auto files = Files();
  ASSERT_EQ(files.size(), 2u);
  std::size_t nFrames = 0;
  for (const auto& f : files) nFrames += VideoFrames(f);
  EXPECT_GE(nFrames, 3u);
  EXPECT_EQ(VideoFrames(TheGdiRecording().get_Control().get_LastOutcome().strFileName), TheGdiRecording().get_Control().get_LastOutcome().nGrabs);
}

// The border's thread may wait for the recording without handling its messages (a
// dialog that closes does): the recording thread never waits for that thread, so each
// wait ends, whether it comes while the border is being shown or later.
TEST_F(recording_GdiRecording, WaitingWithoutHandlingMessagesNeverHangs) {
  constexpr int kRecordings = 12;
  for (int i = 0; i < kRecordings; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(TheGdiRecording().Record(), StartResult::kStarted);
    if (i % 3 == 1) ::Sleep(30);
    if (i % 3 == 2) ::Sleep(300);
    TheGdiRecording().Finish();
    ASSERT_TRUE(TheGdiRecording().WaitForEnd(20000)) << "the recording thread waited for this one";
    g_EncoderThread.WaitUntilClosed();
    const CaptureOutcome outcome = TheGdiRecording().get_Control().get_LastOutcome();
    EXPECT_TRUE(outcome.bStarted) << outcome.strError;
    EXPECT_TRUE(outcome.bClosed);
    EXPECT_EQ(VideoFrames(outcome.strFileName), outcome.nGrabs);
    PumpFor(20);
  }
  EXPECT_EQ(Files().size(), static_cast<std::size_t>(kRecordings));
  PumpFor(100);
  EXPECT_FALSE(::IsWindowVisible(m_Border.get_Hwnd())) << "the last posted hide came after the last show";
}

// The program ends (exit, or its main returning) while a recording runs: the engine,
// made after the objects it drives, ends before them and finishes the file with every
// frame grabbed.
TEST_F(recording_GdiRecording, ProgramEndDuringARecordingFinishesTheFile) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vantor-program-end";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        g_OutputFolder = folder.wstring();
        if (TheGdiRecording().Record() != StartResult::kStarted) std::_Exit(3);
        if (!GrabsReach(10)) std::_Exit(4);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  CAviReader avi;
  ASSERT_TRUE(avi.Load(Utf8(files[0]))) << avi.get_Error();
  EXPECT_GE(avi.get_Chunks("00dc").size(), 10u) << "every frame grabbed is in the file";
  std::filesystem::remove_all(folder);
}

TEST_F(recording_GdiRecording, NameTakenWithinTheSameTenthIsNotOverwritten) {
  // Every name of the next few seconds already exists: the recording must number its own.
  std::set<std::wstring> taken;
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  FILETIME ft;
  ::SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  for (int i = 0; i < 100; ++i) {
    ULARGE_INTEGER u = t;
    u.QuadPart += static_cast<ULONGLONG>(i) * 1000000;  // tenths of a second
    FILETIME f = {u.LowPart, u.HighPart};
    SYSTEMTIME s;
    ::FileTimeToSystemTime(&f, &s);
    std::wstring strFolder = g_OutputFolder;
    wchar_t sz[kOutputNameCapacity];
    ASSERT_TRUE(FormatOutputFileName(strFolder, L"", L"avi",
                                     {s.wYear, s.wMonth, s.wDay, s.wHour, s.wMinute, s.wSecond, s.wMilliseconds}, sz,
                                     kOutputNameCapacity));
    HANDLE h = ::CreateFileW(sz, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    taken.insert(sz);
  }
  ASSERT_EQ(TheGdiRecording().Record(), StartResult::kStarted);
  ASSERT_TRUE(GrabsReach(2));
  TheGdiRecording().Stop();
  ASSERT_TRUE(WaitForRecordingEnd(30000));
  g_EncoderThread.WaitUntilClosed();
  const std::wstring strName = TheGdiRecording().get_Control().get_LastOutcome().strFileName;
  EXPECT_EQ(taken.count(strName), 0u);
  EXPECT_EQ(strName.substr(strName.size() - 6), L"-2.avi");
  for (const auto& f : Files()) {
    if (taken.count(f.wstring())) {
      EXPECT_EQ(std::filesystem::file_size(f), 0u) << "an earlier file was overwritten";
    }
  }
}

TEST_F(recording_GdiRecording, FrameRateBelowOneStartsNothing) {
  for (float fRate : {0.0f, 0.5f}) {
    g_FrameRate = fRate;
    ASSERT_EQ(TheGdiRecording().Record(), StartResult::kStarted);
    ASSERT_TRUE(WaitForRecordingEnd(30000));
    const CaptureOutcome outcome = TheGdiRecording().get_Control().get_LastOutcome();
    EXPECT_FALSE(outcome.bStarted);
    EXPECT_NE(outcome.strError.find("frame rate"), std::string::npos) << outcome.strError;
    EXPECT_EQ(g_Recording.load(), 0) << "nothing looks as if it were recording";
    EXPECT_FALSE(::IsWindowVisible(m_Border.get_Hwnd()));
    EXPECT_TRUE(Files().empty());
  }
}

TEST_F(recording_GdiRecording, OutputFileNameInTheOutputFolder) {
  wchar_t sz[kOutputNameCapacity];
  g_OutputFolder = L"C:\\rec";
  ASSERT_TRUE(MakeOutputFileName(sz, L"avi"));
  EXPECT_EQ(std::wstring(sz).rfind(L"C:\\rec\\", 0), 0u);
  EXPECT_EQ(g_OutputFolder, L"C:\\rec\\");
  EXPECT_EQ(std::wstring(sz).size(), std::wstring(L"C:\\rec\\20120307-0905023.avi").size());

  // Empty: the default output folder, created when missing.
  const std::wstring strDefault = DefaultOutputFolder();
  const bool bExisted = std::filesystem::exists(strDefault);
  g_OutputFolder.clear();
  ASSERT_TRUE(MakeOutputFileName(sz, L"avi"));
  EXPECT_EQ(std::wstring(sz).rfind(strDefault + L"\\", 0), 0u) << sz;
  EXPECT_EQ(g_OutputFolder, strDefault + L"\\");
  EXPECT_TRUE(std::filesystem::is_directory(strDefault));
  if (!bExisted) std::filesystem::remove(strDefault);

  g_OutputFolder = L"C:\\" + std::wstring(250, L'x');
  sz[0] = L'?';
  EXPECT_FALSE(MakeOutputFileName(sz, L"avi"));
  EXPECT_EQ(sz[0], L'\0');
}

}  // namespace
}  // namespace vantor::test
