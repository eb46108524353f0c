// What VantorRec records from. A video source delivers frames in the layout of the
// program's screen grabs (bottom-up 24-bit BGR rows, each a multiple of 4 bytes); an
// audio source writes blocks from a thread of its own, as the program's sound readers
// do. Sources are found by name in a registry; a platform adds its own (the screen and
// the sound devices on Windows) by adding entries.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/RecOptions.h"
#include "media/AVITypes.h"

namespace vantor {

class IVideoSource {
 public:
  virtual ~IVideoSource() = default;
  // Fixes the frame format (the first grab's header). False with *pError on failure.
  virtual bool Open(const RecOptions& options, std::string* pError) = 0;
  virtual const BitmapInfoHeader& get_Format() const = 0;
  // Fills frame nFrame (counted from 0) into pDest: get_Format().biSizeImage bytes.
  virtual bool Grab(std::uint8_t* pDest, std::uint32_t nFrame) = 0;
  virtual void Close() {}
};

// Where an audio source's blocks go, and the recording's clock: microseconds of media
// recorded so far, never beyond the recording's length.
struct AudioSink {
  std::function<void(const void* pData, std::uint32_t nBytes)> fnWrite;
  std::function<std::int64_t()> fnClock;
};

// The media time of nFrames pictures at dFramesPerSecond, in whole microseconds: exact
// integer arithmetic for whole rates, so that the sound's length never depends on the
// floating-point unit.
std::int64_t MicrosOfFrames(std::int64_t nFrames, double dFramesPerSecond);

class IAudioSource {
 public:
  virtual ~IAudioSource() = default;
  virtual bool Open(const RecOptions& options, std::string* pError) = 0;
  // The file's sound format, whole (an extensible format with its extension).
  virtual WaveFormatBlock get_Format() const = 0;
  // Starts writing blocks to the sink from a thread of its own.
  virtual bool Start(AudioSink sink, std::string* pError) = 0;
  // Writes what is left up to the clock's final value and returns once no more writes
  // can happen.
  virtual void Stop() = 0;
};

struct SourceEntry {
  const char* szName;
  const char* szDescription;
  std::function<std::unique_ptr<IVideoSource>()> fnVideo;  // null for audio sources
  std::function<std::unique_ptr<IAudioSource>()> fnAudio;  // null for video sources
  bool bTakesName = false;  // also offered as NAME:ARGUMENT (the source reads the argument)
};

// The sources of this platform.
const std::vector<SourceEntry>& GetVideoSources();
const std::vector<SourceEntry>& GetAudioSources();  // "none" is not listed: it has no source

std::unique_ptr<IVideoSource> CreateVideoSource(const std::string& strName);
// Null for "none" and for unknown names. A source that takes a name is found by the
// part before the colon.
std::unique_ptr<IAudioSource> CreateAudioSource(const std::string& strName);
// strName is an --audio value some source answers to (not "none").
bool IsAudioSourceName(const std::string& strName);
// The sound capture devices of this platform (UTF-8 names). False, with *pError, where
// there are none to list.
bool ListSoundDevices(std::vector<std::string>* pNames, std::string* pError);

}  // namespace vantor
