#include "recording/PendingCounter.h"

namespace vantor {

CPendingCounter& ProgramPendingCounter() {
  static CLockedLong s_Counter(0);
  return s_Counter;
}

}  // namespace vantor
