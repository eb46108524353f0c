#include "recording/RecordingSettings.h"

#include "app/FolderTree.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "recording/OutputFileName.h"

namespace vantor {

CaptureRect g_CaptureRect{};
float g_FrameRate = 0;
std::wstring g_OutputFolder;

SoundChoice ProgramSoundChoice() {
  if (g_bUseLoopback) return SoundChoice::kLoopback;
  if (g_bCaptureDevicePresent) return SoundChoice::kCaptureDevice;
  return SoundChoice::kNone;
}

RecordingSettings ProgramRecordingSettings() {
  const bool bDefault = g_OutputFolder.empty();
  FixOutputFolder(g_OutputFolder, DefaultOutputFolder());
  if (bDefault) CreateFolderTree(g_OutputFolder);
  RecordingSettings settings;
  settings.rcArea = g_CaptureRect;
  settings.fFrameRate = g_FrameRate;
  settings.strOutputFolder = g_OutputFolder;
  settings.sound = ProgramSoundChoice();
  return settings;
}

}  // namespace vantor
