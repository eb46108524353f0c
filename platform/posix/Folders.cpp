// POSIX side of the folder seam; paths are converted as in Paths.cpp.
#include "platform/Folders.h"

#include <sys/stat.h>

#include "platform/posix/NativePath.h"

namespace vantor {

bool FolderExists(const std::string& strPath) {
  struct stat st;
  return stat(NativePath(strPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& strPath) { return mkdir(NativePath(strPath).c_str(), 0777) == 0; }

}  // namespace vantor
