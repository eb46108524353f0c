#include "gamecapture/TargetLists.h"

namespace vantor {

bool CCandidateList::Add(ProcessId pid) {
  if (m_nCount == m_Pids.size()) return false;
  m_Pids[m_nCount++] = pid;
  return true;
}

bool CSentSlots::TakeIfChanged(std::size_t i, ProcessId pid) {
  if (i >= m_Pids.size() || m_Pids[i] == pid) return false;
  m_Pids[i] = pid;
  return true;
}

}  // namespace vantor
