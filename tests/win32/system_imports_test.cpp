// The run-time imports: a lookup by record finds the function in a module
// the process has loaded, and never loads one itself (a module loaded by
// bare name would be searched for beside the program first).
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/system_imports_win32.h"

TEST(SystemImports, FindLoadedModulesFunctionsAndNeverLoadAModule) {
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"),
                                                   "EnumDisplayMonitors")),
            reinterpret_cast<void*>(findImport(kEnumDisplayMonitors)));
  ASSERT_EQ(nullptr, GetModuleHandleA("mpr.dll")) << "the test needs mpr.dll not loaded";
  EXPECT_EQ(nullptr, findImport(kPwdChangePasswordA));
  EXPECT_EQ(nullptr, GetModuleHandleA("mpr.dll"));
  EXPECT_EQ(nullptr, findImport(static_cast<HMODULE>(nullptr), kPwdChangePasswordA));
}
