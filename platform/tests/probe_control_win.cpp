// A stand-in control for the launch tests. Registering it ("regsvr32 /s probe.ocx") writes how
// its host process was started to "<this file>.txt" in UTF-16, one item a line: the host's image,
// "show window N" (STARTUPINFO's wShowWindow, when STARTF_USESHOWWINDOW is set) and the working
// folder. The report appears whole: it is written under another name first.
#include <windows.h>

#include <string>

#include "platform/handles_win.h"

namespace {
HMODULE self;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
    wchar_t control[MAX_PATH], host[MAX_PATH], folder[MAX_PATH];
    GetModuleFileNameW(self, control, MAX_PATH);
    GetModuleFileNameW(nullptr, host, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const std::wstring shown = startup.dwFlags & STARTF_USESHOWWINDOW
                                   ? L"show window " + std::to_wstring(startup.wShowWindow)
                                   : L"default window";
    const std::wstring report = std::wstring(host) + L"\n" + shown + L"\n" + folder + L"\n";

    const std::wstring path = std::wstring(control) + L".txt", partial = path + L".part";
    {
        const orvandi::FileHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        const DWORD size = static_cast<DWORD>(report.size() * sizeof(wchar_t));
        if (!file || !WriteFile(file.get(), report.data(), size, &written, nullptr)) return E_FAIL;
    }
    return MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? S_OK : E_FAIL;
}
