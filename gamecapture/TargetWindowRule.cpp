#include "gamecapture/TargetWindowRule.h"

namespace vantor {

bool IsTargetWindow(const TargetWindowFacts& facts) {
  if (!facts.bVisible) return false;
  if (facts.bHasOwner && (facts.bOwnerEnabled || facts.bOwnerVisible)) return false;
  return facts.strClassName != "Shell_TrayWnd" && facts.strClassName != "Progman";
}

}  // namespace vantor
