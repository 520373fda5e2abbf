// The Windows 7 DLL search (without SetDefaultDllDirectories), beside copies of the sample control
// named as the DLLs it loads and their imports (Wine's ole32 and oleaut32 are no KnownDLLs).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/system_dlls_win.h"

// The preloaded DLLs and what they import come from the system folder, none from the test's.
TEST(SystemDlls, NoneComesFromTheProgramsFolder) {
    ASSERT_TRUE(orvandi::PreloadSystemDlls());
    wchar_t system[MAX_PATH], path[MAX_PATH];
    GetModuleFileNameW(GetModuleHandleW(L"kernel32.dll"), system, MAX_PATH);
    wcsrchr(system, L'\\')[1] = 0;  // the system folder, as the loader names it
    for (auto dll : {L"uxtheme", L"dwmapi", L"version", L"propsys", L"ole32", L"oleaut32"}) {
        GetModuleFileNameW(GetModuleHandleW(dll), path, MAX_PATH);  // this program's if not loaded
        EXPECT_EQ(_wcsnicmp(path, system, wcslen(system)), 0) << path;
    }
}
