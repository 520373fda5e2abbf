// A sample ActiveX control file. It holds no control: registering it records how, as texts under
// HKCU\Software\OrvandiSamples\<its file name>: Count (registrations so far), and of the last one
// Path (where this file was loaded from), Host (the registering program), and that program's
// Directory and Show (wShowWindow). A copy planted under a system DLL's name records the program
// that loaded it instead, as Loaded.
#include <windows.h>

#include <string>

namespace {

HMODULE g_module;

std::wstring Path(HMODULE module) {
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    const std::wstring path = Path(g_module = instance), host = Path(nullptr);
    if (reason == DLL_PROCESS_ATTACH && path.substr(path.size() - 4) == L".dll") {
        const std::wstring key = L"Software\\OrvandiSamples\\" + path.substr(path.rfind(L'\\') + 1);
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Loaded", REG_SZ, host.c_str(),
                        static_cast<DWORD>((host.size() + 1) * sizeof(wchar_t)));
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    const std::wstring path = Path(g_module);
    const std::wstring key = L"Software\\OrvandiSamples\\" + path.substr(path.rfind(L'\\') + 1);
    wchar_t count[16] = L"0", folder[MAX_PATH];
    DWORD size = sizeof count;
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Count", RRF_RT_REG_SZ, nullptr, count, &size);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const bool shown = startup.dwFlags & STARTF_USESHOWWINDOW;
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"Count", std::to_wstring(_wtoi(count) + 1)},
        {L"Path", path},
        {L"Host", Path(nullptr)},
        {L"Directory", std::wstring(folder, GetCurrentDirectoryW(MAX_PATH, folder))},
        {L"Show", shown ? std::to_wstring(startup.wShowWindow) : L"none"}};
    for (const auto& [name, text] : values) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    return S_OK;
}
