// A regsvr32.exe planted where the program must not look for it: if it ever runs, it records so
// under HKCU\Software\OrvandiSamples\regsvr32.exe.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\OrvandiSamples\\regsvr32.exe", L"Planted",
                           REG_SZ, L"ran", 8);
}
