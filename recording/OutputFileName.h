// The name of a recording's file: the output folder and the local time of the start,
// down to the tenth of a second, as FOLDER\YYYYMMDD-HHMMSSt.EXT.
#pragma once
#include <cstddef>
#include <string>

namespace vantor {

// Room for a whole file name, terminating zero included (MAX_PATH).
constexpr std::size_t kOutputNameCapacity = 260;

// A moment of local time, as the system clock reports it.
struct LocalTimeParts {
  int nYear;
  int nMonth;   // 1..12
  int nDay;     // 1..31
  int nHour;
  int nMinute;
  int nSecond;
  int nMilliseconds;  // 0..999
};

// Ends strFolder with a separator: "\" is added unless it already ends in "/" or "\".
// The caller's folder keeps the separator, so later names are built the same way. An
// empty folder has no last character to judge by and would put the file wherever the
// current directory happens to be: it becomes strDefaultFolder first.
void FixOutputFolder(std::wstring& strFolder, const std::wstring& strDefaultFolder);

// Writes FOLDER + "%d%02d%02d-%02d%02d%02d%01d." + EXT (year, month, day, hour,
// minute, second, tenths) into szOut, after fixing the folder as above. A name that
// does not fit nCapacity (terminating zero included) is not cut short, which would
// name an unrelated file: szOut is then empty and the answer false.
bool FormatOutputFileName(std::wstring& strFolder, const std::wstring& strDefaultFolder,
                          const wchar_t* szExtension, const LocalTimeParts& time, wchar_t* szOut,
                          std::size_t nCapacity);

// The same name with "-2", "-3" ... before the extension, for when a file of the plain
// name already exists (two recordings started within one tenth of a second must not
// share a file). False when it would not fit nCapacity; szOut is then unchanged.
bool NumberOutputFileName(const wchar_t* szName, int nNumber, wchar_t* szOut, std::size_t nCapacity);

}  // namespace vantor
