// Where the program runs from, the current directory, and whole-file access for small
// text files (the settings and language files).
//
// Paths are UTF-8, as everywhere in the platform seam (File.h has the rule). The
// settings code builds them the Windows way, folder + "Config.ini", folder +
// "Language\" + name + ".ini", so natively a backslash is also taken as a folder
// separator here and turned into '/': a path put together with backslashes names the
// same file as on Windows. (A POSIX file name that really contains a backslash cannot
// be reached through these functions; nothing in Vantor makes such names.) A drive
// letter has no meaning natively: "C:\x" is the relative path "C:/x". Names the system
// hands back are UTF-8 on Windows (converted from the wide API) and the bytes the
// system gave natively.
#pragma once
#include <string>
#include <string_view>

namespace vantor {

// The process's current directory, without a trailing separator (as Windows reports
// it, except for a drive root such as "C:\"). Empty when the system cannot say.
std::string GetCurrentDir();

// The full path of the running executable; empty when the system cannot say. Not cut
// to any buffer size: a long path comes back whole.
std::string GetProgramPath();

// True when a file (not a folder) of that name exists.
bool FileExists(const std::string& strPath);

// How opening an existing file turned out. kNotFound means the folder exists and the
// file does not, the one case the profile functions treat as an empty file; a missing
// folder, a folder in the file's place, a refused access or a sharing conflict is
// kFailed.
enum class FileOpenResult { kOk, kNotFound, kFailed };

// Reads the whole file into *pBytes. With bForUpdate the file must also be open for
// writing, so a read-only file gives kFailed (as an update of it would fail).
FileOpenResult ReadWholeFile(const std::string& strPath, bool bForUpdate, std::string* pBytes);

// Creates the file, or truncates an existing one, and writes bytes into it. False when
// it cannot be created or not everything was written.
bool WriteWholeFile(const std::string& strPath, std::string_view bytes);

}  // namespace vantor
