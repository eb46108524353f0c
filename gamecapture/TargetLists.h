// The target watch's two lists, by candidate position: the processes behind this
// cycle's accepted windows, and what was last sent to the 64-bit helper for each
// position. Both have room for a fixed number of positions; windows beyond it are
// left for a cycle in which fewer windows are open.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace vantor {

using ProcessId = std::uint32_t;

constexpr std::size_t kMaxTargetCandidates = 100;

class CCandidateList {
 public:
  void Clear() { m_nCount = 0; }
  // False (and nothing added) when the list is full.
  bool Add(ProcessId pid);
  std::size_t size() const { return m_nCount; }
  ProcessId operator[](std::size_t i) const { return m_Pids[i]; }

 private:
  std::array<ProcessId, kMaxTargetCandidates> m_Pids{};
  std::size_t m_nCount = 0;
};

class CSentSlots {
 public:
  // True when position i last carried another process (or none): the caller sends pid
  // now, and the slot holds it from here on. Positions past the list are never sent.
  bool TakeIfChanged(std::size_t i, ProcessId pid);
  ProcessId operator[](std::size_t i) const { return m_Pids[i]; }

 private:
  std::array<ProcessId, kMaxTargetCandidates> m_Pids{};
};

}  // namespace vantor
