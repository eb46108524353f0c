#include "recording/PendingCounterOstrel.h"

namespace vantor {

CPendingCounter& ProgramPendingCounter() {
  static COstrelPendingCounter s_Counter(0);
  return s_Counter;
}

}  // namespace vantor
