// VantorRec's sound from the program's own readers (Windows): "device[:NAME]", a
// DirectSound capture device picked by (part of) its name, or the default one; and
// "loopback", what the default playback device plays. Sources.cpp lists them.
#pragma once
#include <string>
#include <vector>

#include "cli/Sources.h"

namespace vantor {

// Appends the entries "device" and "loopback".
void AddSoundDeviceSources(std::vector<SourceEntry>* pEntries);
// The capture devices' names (UTF-8), as --audio device:NAME takes them.
std::vector<std::string> ListSoundDeviceNames();

}  // namespace vantor
