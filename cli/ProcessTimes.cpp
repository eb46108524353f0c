#include "cli/ProcessTimes.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace vantor {

double ProcessCpuSeconds() {
#if defined(_WIN32)
  FILETIME ftCreate, ftExit, ftKernel, ftUser;
  if (!::GetProcessTimes(::GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser)) return 0;
  auto seconds = [](const FILETIME& ft) {
    return static_cast<double>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7;
  };
  return seconds(ftKernel) + seconds(ftUser);
#else
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

}  // namespace vantor
