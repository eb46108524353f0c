// CDllFile: who loads, who owns, who unloads, and what a failure returns.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "Ostrel/Shared/CDllFile.h"

namespace {

constexpr char kProbeA[] = "HookProbeA.dll";
constexpr char kProbeB[] = "HookProbeB.dll";
constexpr char kMissing[] = "VantorNoSuchLibrary.dll";

bool IsLoaded(const char* pszName) { return GetModuleHandleA(pszName) != nullptr; }

// Both programs share the object's layout (handle, then the owns flag), so the
// flag may be read where no operation shows it.
bool OwnsFlag(const CDllFile& dll) {
  bool bOwns = false;
  std::memcpy(&bOwns, reinterpret_cast<const unsigned char*>(&dll) + sizeof(void*), sizeof(bOwns));
  return bOwns;
}

// The destructor's unload, reachable for the test.
class CDllFileProbe : public CDllFile {
 public:
  using CDllFile::CDllFile;
  using CDllFile::FreeDllLast;
};

class hooklib_CDllFile : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each case runs in its own process; nothing may have loaded the probes yet.
    ASSERT_FALSE(IsLoaded(kProbeA));
    ASSERT_FALSE(IsLoaded(kProbeB));
  }
};

std::uint32_t Hr(HRESULT hr) { return static_cast<std::uint32_t>(hr); }

TEST_F(hooklib_CDllFile, FailedLoadsReturnTheSystemErrorAsWin32Hresult) {
  // A file that exists but is no module.
  char szTemp[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, szTemp), 0u);
  const std::string strNotModule =
      std::string(szTemp) + "hooklib_notmodule_" + std::to_string(GetCurrentProcessId()) + ".dll";
  FILE* pFile = std::fopen(strNotModule.c_str(), "wb");
  ASSERT_NE(pFile, nullptr);
  std::fputs("this is text, not a program", pFile);
  std::fclose(pFile);

  struct {
    const char* pszName;
    std::uint32_t uExpected;
  } const cases[] = {
      {kMissing, 0x8007007Eu},              // ERROR_MOD_NOT_FOUND
      {strNotModule.c_str(), 0x800700C1u},  // ERROR_BAD_EXE_FORMAT
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    CDllFile dll;
    EXPECT_EQ(Hr(dll.LoadDll(c.pszName)), c.uExpected);
    EXPECT_FALSE(dll.IsValidDll());
    EXPECT_EQ(Hr(dll.LoadDllEx(c.pszName, 0)), c.uExpected);
    EXPECT_FALSE(dll.IsValidDll());
    EXPECT_EQ(dll.get_DllHandle(), nullptr);
  }
  DeleteFileA(strNotModule.c_str());
}

TEST_F(hooklib_CDllFile, LoadedModuleIsOwnedAndUnloadedWithTheObject) {
  {
    CDllFile dll;
    EXPECT_FALSE(dll.IsValidDll());
    ASSERT_EQ(dll.LoadDll(kProbeA), 0);
    const HMODULE hModule = GetModuleHandleA(kProbeA);
    ASSERT_NE(hModule, nullptr);
    EXPECT_TRUE(dll.IsValidDll());
    EXPECT_TRUE(OwnsFlag(dll));
    EXPECT_EQ(dll.get_DllHandle(), hModule);
    EXPECT_EQ(static_cast<HMODULE>(dll), hModule);
    EXPECT_EQ(dll.get_DllInt(), reinterpret_cast<ULONG_PTR>(hModule));

    using Answer = int (*)();
    const Answer pfnAnswer = reinterpret_cast<Answer>(dll.GetProcAddress("HookProbeAnswer"));
    ASSERT_NE(pfnAnswer, nullptr);
    EXPECT_EQ(pfnAnswer(), 42);
    EXPECT_EQ(dll.GetProcAddress("NoSuchEntryPoint"), nullptr);
  }
  EXPECT_FALSE(IsLoaded(kProbeA));
}

TEST_F(hooklib_CDllFile, LoadDllExPassesItsFlags) {
  CDllFile dll;
  // The probe lies beside the test program, not in the system folder.
  EXPECT_EQ(Hr(dll.LoadDllEx(kProbeA, LOAD_LIBRARY_SEARCH_SYSTEM32)), 0x8007007Eu);
  EXPECT_FALSE(IsLoaded(kProbeA));
  EXPECT_EQ(dll.LoadDllEx(kProbeA, 0), 0);
  EXPECT_TRUE(IsLoaded(kProbeA));
  EXPECT_TRUE(OwnsFlag(dll));
  dll.FreeDll();
  EXPECT_FALSE(IsLoaded(kProbeA));
}

TEST_F(hooklib_CDllFile, LoadingAgainUnloadsOnlyAnOwnedModule) {
  CDllFile dll;
  ASSERT_EQ(dll.LoadDll(kProbeA), 0);
  ASSERT_EQ(dll.LoadDll(kProbeB), 0);
  EXPECT_FALSE(IsLoaded(kProbeA));
  EXPECT_EQ(dll.get_DllHandle(), GetModuleHandleA(kProbeB));

  // A failed load also lets go of the owned module and holds nothing.
  EXPECT_NE(dll.LoadDll(kMissing), 0);
  EXPECT_FALSE(IsLoaded(kProbeB));
  EXPECT_FALSE(dll.IsValidDll());

  // A borrowed module stays with its owner.
  CDllFile owner;
  ASSERT_EQ(owner.LoadDll(kProbeA), 0);
  ASSERT_TRUE(dll.FindDll(kProbeA));
  ASSERT_EQ(dll.LoadDll(kProbeB), 0);
  EXPECT_TRUE(IsLoaded(kProbeA));
  EXPECT_TRUE(OwnsFlag(dll));
}

TEST_F(hooklib_CDllFile, FindDllBorrowsWithoutOwning) {
  CDllFile owner;
  ASSERT_EQ(owner.LoadDll(kProbeA), 0);
  {
    CDllFile finder;
    ASSERT_TRUE(finder.FindDll(kProbeA));
    EXPECT_EQ(finder.get_DllHandle(), owner.get_DllHandle());
    EXPECT_FALSE(OwnsFlag(finder));
  }
  EXPECT_TRUE(IsLoaded(kProbeA));
  owner.FreeDll();
  EXPECT_FALSE(IsLoaded(kProbeA));
}

TEST_F(hooklib_CDllFile, FindDllKeepsAnOwnedModuleWithoutLooking) {
  CDllFile dll;
  ASSERT_EQ(dll.LoadDll(kProbeA), 0);
  const HMODULE hModule = dll.get_DllHandle();
  EXPECT_TRUE(dll.FindDll(kMissing));
  EXPECT_EQ(dll.get_DllHandle(), hModule);
  EXPECT_TRUE(OwnsFlag(dll));
}

TEST_F(hooklib_CDllFile, FindDllMissLeavesNoModuleAndKeepsOwnership) {
  const HMODULE hKernel = GetModuleHandleA("kernel32.dll");
  ASSERT_NE(hKernel, nullptr);
  CDllFile borrowed(hKernel, false);
  EXPECT_FALSE(borrowed.FindDll(kMissing));
  EXPECT_FALSE(borrowed.IsValidDll());
  EXPECT_FALSE(OwnsFlag(borrowed));

  CDllFile empty;
  EXPECT_FALSE(empty.FindDll(kMissing));
  EXPECT_TRUE(OwnsFlag(empty));
  // A null name is no module, not the program itself.
  EXPECT_FALSE(empty.FindDll(nullptr));
  EXPECT_FALSE(empty.IsValidDll());
}

TEST_F(hooklib_CDllFile, FreeDllClearsTheHandleAndKeepsOwnership) {
  CDllFile owned;
  ASSERT_EQ(owned.LoadDll(kProbeA), 0);
  owned.FreeDll();
  EXPECT_FALSE(owned.IsValidDll());
  EXPECT_FALSE(IsLoaded(kProbeA));
  EXPECT_TRUE(OwnsFlag(owned));

  CDllFile owner;
  ASSERT_EQ(owner.LoadDll(kProbeA), 0);
  CDllFile borrowed;
  ASSERT_TRUE(borrowed.FindDll(kProbeA));
  borrowed.FreeDll();
  EXPECT_FALSE(borrowed.IsValidDll());
  EXPECT_TRUE(IsLoaded(kProbeA));
  EXPECT_FALSE(OwnsFlag(borrowed));
}

TEST_F(hooklib_CDllFile, DetachedModuleSurvivesTheObject) {
  HMODULE hModule = nullptr;
  {
    CDllFile dll;
    ASSERT_EQ(dll.LoadDll(kProbeA), 0);
    hModule = dll.DetachModule();
    EXPECT_FALSE(dll.IsValidDll());
  }
  ASSERT_NE(hModule, nullptr);
  EXPECT_EQ(GetModuleHandleA(kProbeA), hModule);
  FreeLibrary(hModule);
  EXPECT_FALSE(IsLoaded(kProbeA));
}

TEST_F(hooklib_CDllFile, ConstructorAdoptsAndDestructorUnloadsOnlyWhatItOwns) {
  { CDllFile adopted(LoadLibraryA(kProbeA)); }
  EXPECT_FALSE(IsLoaded(kProbeA));

  const HMODULE hModule = LoadLibraryA(kProbeA);
  ASSERT_NE(hModule, nullptr);
  { CDllFile borrowed(hModule, false); }
  EXPECT_TRUE(IsLoaded(kProbeA));
  FreeLibrary(hModule);
  EXPECT_FALSE(IsLoaded(kProbeA));
}

TEST_F(hooklib_CDllFile, FreeDllLastUnloadsButKeepsTheHandle) {
  CDllFileProbe dll;
  ASSERT_EQ(dll.LoadDll(kProbeA), 0);
  const HMODULE hModule = dll.get_DllHandle();
  dll.FreeDllLast();
  EXPECT_FALSE(IsLoaded(kProbeA));
  EXPECT_EQ(dll.get_DllHandle(), hModule);
  dll.DetachModule();  // already unloaded: the destructor must not unload it again
}

TEST_F(hooklib_CDllFile, AssignmentCopiesHandleAndOwnership) {
  CDllFile source;
  ASSERT_EQ(source.LoadDll(kProbeA), 0);
  {
    CDllFile copy;
    copy = source;
    EXPECT_EQ(copy.get_DllHandle(), source.get_DllHandle());
    EXPECT_TRUE(OwnsFlag(copy));
    // Hand the single reference to the copy: its end must unload the module.
    source.DetachModule();
  }
  EXPECT_FALSE(IsLoaded(kProbeA));

  const HMODULE hKernel = GetModuleHandleA("kernel32.dll");
  CDllFile borrowed(hKernel, false);
  CDllFile target;
  target = borrowed;
  EXPECT_EQ(target.get_DllHandle(), hKernel);
  EXPECT_FALSE(OwnsFlag(target));
}

TEST_F(hooklib_CDllFile, EmptyObjectAnswersNothing) {
  CDllFile dll;
  EXPECT_EQ(dll.GetProcAddress("HookProbeAnswer"), nullptr);
  EXPECT_EQ(dll.get_DllInt(), 0u);
  EXPECT_EQ(dll.DetachModule(), nullptr);
  dll.FreeDll();
  EXPECT_FALSE(dll.IsValidDll());
}

}  // namespace
