// A regsvr32.exe planted where the installer must not look for it (its own folder, its current
// directory). It registers nothing; if it ever runs it counts its runs in
// HKCU\Software\OrvandiSamples, value PlantedRegsvr32.
#include <windows.h>

#include "ui/e2e/reg_key.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    auto key = orvandi::e2e::CreateUserKey(orvandi::e2e::kSamplesKey);
    if (!key) return 1;
    DWORD runs = 0;
    DWORD size = sizeof runs;
    if (RegQueryValueExW(key.get(), L"PlantedRegsvr32", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&runs), &size) != ERROR_SUCCESS) {
        runs = 0;
    }
    ++runs;
    RegSetValueExW(key.get(), L"PlantedRegsvr32", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&runs), sizeof runs);
    return 0;
}
