// Which top-level windows may belong to a game: the rule of the target watch's window
// walk, over what the walk learnt about one window. Portable.
#pragma once
#include <string>

namespace vantor {

struct TargetWindowFacts {
  bool bVisible = false;
  bool bHasOwner = false;
  bool bOwnerEnabled = false;
  bool bOwnerVisible = false;
  std::string strClassName;  // as read, at most 255 characters
};

// A visible window that is nobody's live pop-up (its owner, if any, is neither
// enabled nor visible), and neither the taskbar ("Shell_TrayWnd") nor the desktop
// ("Progman"); class names compare exactly, case and all.
bool IsTargetWindow(const TargetWindowFacts& facts);

}  // namespace vantor
