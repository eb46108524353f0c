#include "recording/EncoderThread.h"

#include "base/DibLayout.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace vantor {

namespace {

// A sound source that has not stopped within this time is not waited for any longer:
// the file is closed without the rest of its sound rather than never.
constexpr auto kMaxCloseHold = std::chrono::seconds(10);

}  // namespace

std::atomic<std::int32_t> g_Recording{0};
CFrameBuffer g_FrameBuffer;
std::int32_t g_FrameBytes = 0;
CPendingCounter& g_PendingFrames = ProgramPendingCounter();
CEncoderThread g_EncoderThread(g_Recorder, g_FrameBuffer, g_PendingFrames, g_FrameBytes, g_Recording);

int EncoderThread() { return g_EncoderThread.Run(); }

CEncoderThread::CEncoderThread(CAviRecorder& recorder, CFrameBuffer& buffer, CPendingCounter& pending,
                               std::int32_t& nFrameBytes, std::atomic<std::int32_t>& recording)
    : m_Recorder(recorder), m_Buffer(buffer), m_Pending(pending), m_nFrameBytes(nFrameBytes),
      m_Recording(recording) {}

CEncoderThread::~CEncoderThread() {
  if (IsRunning()) Stop(true);
}

Result CEncoderThread::Begin(const BitmapInfoHeader& firstFrame, const WaveFormatBlock* pAudioFormat,
                             double dFramesPerSecond, const std::string& strFileName, bool bHoldClose) {
  // The previous recording's thread may still be writing its last frame or closing its
  // file; resetting the recorder under it would cut that file short. Held to the end,
  // so that a second start waits for this one. The old thread is told to stop: the
  // Record command sets the shared flag again before we get here, and the old thread
  // may not have seen it cleared.
  std::lock_guard<std::mutex> joinLock(m_JoinLock);
  m_bStop = true;
  m_Buffer.Wake();
  ReleaseClose();
  JoinLocked();
  m_bStop = false;
  {
    std::lock_guard<std::mutex> lock(m_CloseHoldLock);
    m_bCloseHeld = bHoldClose;
  }
  auto fail = [this](Result nResult, std::string strWhy) {
    std::lock_guard<std::mutex> lock(m_ThreadLock);
    m_strError = std::move(strWhy);
    return nResult;
  };
  {
    std::lock_guard<std::mutex> lock(m_ThreadLock);
    m_strError.clear();
  }
  m_nEncoded = 0;
  m_nCloseResult = kOk;

  // Every copy into the buffer is one whole frame: the header's image size, or what
  // the rows need when the header understates it.
  const std::int64_t nHeight = firstFrame.biHeight < 0 ? -static_cast<std::int64_t>(firstFrame.biHeight)
                                                       : firstFrame.biHeight;
  const std::int64_t nStride = DibRowBytes(firstFrame.biWidth);
  const std::int64_t nRows = nStride * nHeight;
  if (firstFrame.biWidth <= 0 || nHeight <= 0 || firstFrame.biBitCount != 24)
    return fail(kInvalidArg, "Cannot record: the captured frame is not a 24-bit picture.");
  const std::int64_t nBytes = std::max<std::int64_t>(nRows, firstFrame.biSizeImage);
  if (nBytes > 0x7FFFFFFF) return fail(kInvalidArg, "Cannot record: the recorded area is too large.");
  if (!m_Buffer.Prepare(static_cast<std::uint32_t>(nBytes)))
    return fail(kOutOfMemory, "Cannot record: not enough memory for frames of this size.");
  m_nFrameBytes = static_cast<std::int32_t>(nBytes);
  m_Pending.Exchange(0);

  m_Recorder.Reset();
  m_Recorder.SetAudioFormat(pAudioFormat ? pAudioFormat->get() : nullptr);
  m_Recorder.SetVideoFormat(&firstFrame);
  // The file is opened before the encoder thread starts, so that a failure leaves
  // nothing running that would have to be stopped.
  Result nResult = m_Recorder.CreateEncoder(firstFrame.biWidth, static_cast<std::int32_t>(nHeight),
                                            dFramesPerSecond);
  if (nResult == kOk) nResult = m_Recorder.Open(strFileName);
  if (nResult != kOk) {
    std::string strWhy = m_Recorder.get_ErrorMessage();
    if (strWhy.empty()) strWhy = "Cannot record: the frame rate must be above 0.";
    m_Recorder.Close();
    return fail(nResult, strWhy);
  }

  std::lock_guard<std::mutex> lock(m_ThreadLock);
  try {
    m_Thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    m_Recorder.Close();
    m_strError = "Cannot record: the encoder thread cannot be started.";
    return kFail;
  }
  return kOk;
}

int CEncoderThread::Run() {
  while (m_Buffer.WaitForFrame(m_Pending, m_Recording, m_bStop)) {
    const std::uint8_t* pFrame = m_Buffer.TakeNewest();
    m_Recorder.EncodeFrame(pFrame, m_nFrameBytes, 1);
    m_nEncoded.fetch_add(1);
    m_Pending.Dec();
    m_Buffer.NotifyEncoded();
  }
  {
    std::unique_lock<std::mutex> lock(m_CloseHoldLock);
    m_CloseHoldChanged.wait_for(lock, kMaxCloseHold, [this] { return !m_bCloseHeld; });
  }
  m_nCloseResult = m_Recorder.Close();
  // Whoever waits for the last frames must not wait for a thread that has ended.
  m_Buffer.Wake();
  return 0;
}

void CEncoderThread::Stop(bool bWait) {
  m_bStop = true;
  m_Recording.store(0);
  m_Buffer.Wake();
  if (bWait) WaitUntilClosed();
}

void CEncoderThread::ReleaseClose() {
  {
    std::lock_guard<std::mutex> lock(m_CloseHoldLock);
    m_bCloseHeld = false;
  }
  m_CloseHoldChanged.notify_all();
}

void CEncoderThread::WaitUntilClosed() {
  ReleaseClose();
  std::lock_guard<std::mutex> joinLock(m_JoinLock);
  JoinLocked();
}

void CEncoderThread::JoinLocked() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(m_ThreadLock);
    thread = std::move(m_Thread);
  }
  if (thread.joinable()) thread.join();
}

bool CEncoderThread::IsRunning() const {
  std::lock_guard<std::mutex> lock(m_ThreadLock);
  return m_Thread.joinable();
}

std::string CEncoderThread::get_ErrorMessage() const {
  std::lock_guard<std::mutex> lock(m_ThreadLock);
  return m_strError;
}

}  // namespace vantor
