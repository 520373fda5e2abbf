// A sample ActiveX control: each registration adds a line to HKCU\Software\OrvandiSamples\<its
// file name>\Registered (its own path, the registering program, that one's folder and show
// state), each unregistration one to Unregistered. A copy planted under a system DLL's name adds
// the program that loads it to Loaded. Named "Guasto..." its registration fails; named "Lento..."
// it takes 3 s.
#include <windows.h>

#include <string>

namespace {

HMODULE g_module;

std::wstring Path(HMODULE module) {
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

void AddLine(const wchar_t* value, const std::wstring& line) {
    const std::wstring self = Path(g_module);
    const std::wstring key = L"Software\\OrvandiSamples\\" + self.substr(self.rfind(L'\\') + 1);
    wchar_t lines[4096] = L"";
    DWORD size = sizeof lines;
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_SZ, nullptr, lines, &size);
    const std::wstring text = lines + line + L"\n";
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), value, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    g_module = instance;
    const std::wstring self = Path(instance);
    if (reason == DLL_PROCESS_ATTACH && self.substr(self.size() - 4) == L".dll") {
        AddLine(L"Loaded", Path(nullptr));
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    const std::wstring self = Path(g_module);
    if (self.find(L"\\Guasto") != std::wstring::npos) return E_FAIL;
    if (self.find(L"\\Lento") != std::wstring::npos) Sleep(3000);
    wchar_t folder[MAX_PATH];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const bool shown = startup.dwFlags & STARTF_USESHOWWINDOW;
    AddLine(L"Registered", self + L" | " + Path(nullptr) + L" | " +
                               std::wstring(folder, GetCurrentDirectoryW(MAX_PATH, folder)) +
                               L" | " + (shown ? std::to_wstring(startup.wShowWindow) : L"-"));
    return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    AddLine(L"Unregistered", Path(g_module));
    return S_OK;
}
