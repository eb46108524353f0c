// IRefPtr: every reference it holds is released exactly once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Ostrel/Shared/IRefPtr.h"
#if defined(_WIN64)
#include "Ostrel/Ostrel.h"
#endif

namespace {

// Counts Release calls; optionally looks at its owner while being released.
struct CFakeInterface {
  int m_nReleases = 0;
  const IRefPtr<CFakeInterface>* m_pOwner = nullptr;
  CFakeInterface* m_pSeenInOwner = reinterpret_cast<CFakeInterface*>(1);

  unsigned long Release() {
    ++m_nReleases;
    if (m_pOwner) m_pSeenInOwner = m_pOwner->get_Ptr();
    return 0;
  }
};

// Stands in for a factory's output parameter.
void CreateFake(CFakeInterface* pFake, CFakeInterface** ppOut) { *ppOut = pFake; }

TEST(hooklib_IRefPtr, ReleasesOnDestructionAndResetExactlyOnce) {
  CFakeInterface fake;
  { IRefPtr<CFakeInterface> ptr(&fake); }
  EXPECT_EQ(fake.m_nReleases, 1);

  CFakeInterface other;
  IRefPtr<CFakeInterface> ptr(&other);
  ptr.Reset();
  EXPECT_EQ(other.m_nReleases, 1);
  EXPECT_EQ(ptr.get_Ptr(), nullptr);
  ptr.Reset();
  EXPECT_EQ(other.m_nReleases, 1);
}

TEST(hooklib_IRefPtr, OwnerIsEmptyWhileItsObjectIsReleased) {
  CFakeInterface fake;
  IRefPtr<CFakeInterface> ptr(&fake);
  fake.m_pOwner = std::addressof(ptr);
  ptr.Reset();
  EXPECT_EQ(fake.m_pSeenInOwner, nullptr);
}

TEST(hooklib_IRefPtr, AttachDetachAndMoveHandOverTheReference) {
  CFakeInterface first, second;
  IRefPtr<CFakeInterface> ptr(&first);
  ptr.Attach(&second);
  EXPECT_EQ(first.m_nReleases, 1);
  EXPECT_EQ(ptr.get_Ptr(), &second);

  CFakeInterface* pRaw = ptr.Detach();
  EXPECT_EQ(pRaw, &second);
  EXPECT_EQ(ptr.get_Ptr(), nullptr);
  EXPECT_EQ(second.m_nReleases, 0);

  CFakeInterface third;
  {
    IRefPtr<CFakeInterface> source(&second);
    IRefPtr<CFakeInterface> moved(std::move(source));
    EXPECT_EQ(source.get_Ptr(), nullptr);
    IRefPtr<CFakeInterface> target(&third);
    target = std::move(moved);
    EXPECT_EQ(third.m_nReleases, 1);
    EXPECT_EQ(target.get_Ptr(), &second);
    EXPECT_EQ(second.m_nReleases, 0);
  }
  EXPECT_EQ(second.m_nReleases, 1);
}

TEST(hooklib_IRefPtr, OutputParameterFillsAnEmptyPointer) {
  CFakeInterface fake;
  {
    IRefPtr<CFakeInterface> ptr;
    CreateFake(&fake, &ptr);
    EXPECT_EQ(ptr.get_Ptr(), &fake);
    EXPECT_EQ(static_cast<CFakeInterface*>(ptr), &fake);
    EXPECT_EQ(&*ptr, &fake);
    EXPECT_EQ(fake.m_nReleases, 0);
  }
  EXPECT_EQ(fake.m_nReleases, 1);
}

TEST(hooklib_IRefPtr, OutputParameterOverAHeldObjectDoesNotLeakIt) {
  CFakeInterface held, created;
  {
    IRefPtr<CFakeInterface> ptr(&held);
    CreateFake(&created, &ptr);
    EXPECT_EQ(held.m_nReleases, 1);
    EXPECT_EQ(ptr.get_Ptr(), &created);
  }
  EXPECT_EQ(held.m_nReleases, 1);
  EXPECT_EQ(created.m_nReleases, 1);
}

#if defined(_WIN64)
// Collects what IRefPtr reports and puts the library's log back afterwards.
class CRecordingLog : public CLogBase {
 public:
  CRecordingLog() : m_pPrevious(g_pLog) { g_pLog = this; }
  ~CRecordingLog() override { g_pLog = m_pPrevious; }
  void Assert_CheckFail(const char* pszExpression, const char* pszFile, int nLine) override {
    m_reports.push_back(std::string(pszExpression) + " @" + pszFile);
  }
  std::vector<std::string> m_reports;

 private:
  CLogBase* m_pPrevious;
};

TEST(hooklib_IRefPtr, MisuseIsReportedThroughTheLibraryLog) {
  CRecordingLog log;
  CFakeInterface held, created;
  IRefPtr<CFakeInterface> ptr(&held);
  CreateFake(&created, &ptr);
  ASSERT_EQ(log.m_reports.size(), 1u);
  EXPECT_EQ(log.m_reports[0], "m_pObj==NULL @IRefPtr");

  IRefPtr<CFakeInterface> empty;
  CreateFake(&created, &empty);  // fine: nothing held
  empty.Detach();
  EXPECT_EQ(log.m_reports.size(), 1u);
  EXPECT_EQ(empty.operator->(), nullptr);
  ASSERT_EQ(log.m_reports.size(), 2u);
  EXPECT_EQ(log.m_reports[1], "m_pObj @IRefPtr");

  ptr->Release();  // a held object is no misuse
  EXPECT_EQ(log.m_reports.size(), 2u);
  ptr.Detach();
}
#endif

}  // namespace
