// System libraries against the real loader (run under Wine by
// tests/wine/win_unit_test.sh): every failure to load or to find an entry
// point comes back as a failure, and the caller's pointer stays untouched.
#include "platform/system_library_win.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace cc {
namespace {

using TickCount = DWORD(WINAPI*)();

// Not every failing path of the loader sets a last-error code; a code of 0
// must not read as S_OK, or the caller would call a null pointer.
TEST(LoadFailureTest, EveryCodeIsAFailureAndNonzeroCodesKeepTheirMeaning) {
  EXPECT_EQ(load_failure(0), static_cast<HRESULT>(0x80004005u));    // E_FAIL
  EXPECT_EQ(load_failure(126), static_cast<HRESULT>(0x8007007Eu));  // ERROR_MOD_NOT_FOUND
  EXPECT_EQ(load_failure(127), static_cast<HRESULT>(0x8007007Fu));  // ERROR_PROC_NOT_FOUND
}

TEST(SystemLibraryTest, MissingLibraryFailsWithTheLoadersCode) {
  SystemLibrary library(L"cc_no_such_library.dll");
  TickCount function = nullptr;
  EXPECT_EQ(library.resolve("GetTickCount", &function), static_cast<HRESULT>(0x8007007Eu));
  EXPECT_EQ(function, nullptr);
}

// A failed lookup leaves the library loaded for the next one.
TEST(SystemLibraryTest, MissingEntryPointFailsThenAPresentOneResolves) {
  SystemLibrary library(L"kernel32.dll");
  TickCount function = nullptr;
  EXPECT_EQ(library.resolve("CcNoSuchEntryPoint", &function), static_cast<HRESULT>(0x8007007Fu));
  EXPECT_EQ(function, nullptr);
  ASSERT_EQ(library.resolve("GetTickCount", &function), S_OK);
  EXPECT_EQ(function, &GetTickCount);
}

// A check given up on loads and looks up nothing more: its gate stops it
// before the loader, where it could wait for the loader lock.
TEST(SystemLibraryTest, AGivenUpCheckLoadsNothing) {
  struct GivenUpGate : SeamGate {
    bool given_up() override { return true; }
  } gate;
  ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);
  SystemLibrary library(L"msimg32.dll");
  TickCount function = nullptr;
  set_thread_seam_gate(&gate);
  EXPECT_THROW(library.resolve("GetTickCount", &function), CheckGivenUp);
  set_thread_seam_gate(nullptr);
  EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);
  EXPECT_EQ(function, nullptr);
}

}  // namespace
}  // namespace cc
