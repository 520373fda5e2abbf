// A sample ActiveX control: each registration adds a line to HKCU\Software\OrvandiSamples\<its
// file name>\Registered (its own path, the registering program, that one's folder and show
// state), each unregistration one to Unregistered. A copy planted under a system DLL's name adds
// the program that loads it to Loaded. Named "Guasto..." its registration fails; named "Lento..."
// it records the id of the process registering it under Process and sets the event
// "OrvandiSamples.Registering" when there is one, and takes 3 s, or until the event
// "OrvandiSamples.Release" is set when there is that one; named "Figlio..." it starts a
// program that runs for two minutes, records its process id under Child, and waits a minute.
// Registered, it registers its class Campione for this file, or, named "Altrove...", for the file
// Altro.ocx beside it. Built with SAMPLE_IMPORTS it imports a DLL that does not exist, so it
// cannot be loaded at all.
#include <windows.h>

#include <string>

#ifdef SAMPLE_IMPORTS
extern "C" __declspec(dllimport) int OrvandiAssente();
extern "C" __declspec(dllimport) int OrvandiInsieme();
#endif

namespace {

HMODULE g_module;
const wchar_t kServer[] = L"CLSID\\{4F7A2C11-8B3E-4D5A-9C61-2E0B7D9A1F30}\\InprocServer32";

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
#ifdef SAMPLE_IMPORTS
    if (OrvandiAssente() + OrvandiInsieme() != 0) return E_FAIL;
#endif
    const std::wstring self = Path(g_module);
    if (self.find(L"\\Guasto") != std::wstring::npos) return E_FAIL;
    if (self.find(L"\\Lento") != std::wstring::npos) {
        if (HANDLE registering =
                OpenEventW(EVENT_MODIFY_STATE, FALSE, L"OrvandiSamples.Registering")) {
            const std::wstring key =
                L"Software\\OrvandiSamples\\" + self.substr(self.rfind(L'\\') + 1);
            const std::wstring id = std::to_wstring(GetCurrentProcessId());
            RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Process", REG_SZ, id.c_str(),
                            static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
            SetEvent(registering);
            CloseHandle(registering);
        }
        if (HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, L"OrvandiSamples.Release")) {
            WaitForSingleObject(release, 60000);
            CloseHandle(release);
        } else {
            Sleep(3000);
        }
    }
    if (self.find(L"\\Figlio") != std::wstring::npos) {
        STARTUPINFOW child{};
        child.cb = sizeof child;
        PROCESS_INFORMATION started{};
        wchar_t line[] = L"cmd.exe /c ping -n 120 127.0.0.1";
        if (CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &child, &started)) {
            const std::wstring key =
                L"Software\\OrvandiSamples\\" + self.substr(self.rfind(L'\\') + 1);
            RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Child", REG_DWORD,
                            &started.dwProcessId, sizeof started.dwProcessId);
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
        Sleep(60000);
    }
    wchar_t folder[MAX_PATH];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const bool shown = startup.dwFlags & STARTF_USESHOWWINDOW;
    const std::wstring server = self.find(L"\\Altrove") == std::wstring::npos
                                    ? self
                                    : self.substr(0, self.rfind(L'\\')) + L"\\Altro.ocx";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, kServer, nullptr, REG_SZ, server.c_str(),
                    static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
    AddLine(L"Registered", self + L" | " + Path(nullptr) + L" | " +
                               std::wstring(folder, GetCurrentDirectoryW(MAX_PATH, folder)) +
                               L" | " + (shown ? std::to_wstring(startup.wShowWindow) : L"-"));
    return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kServer);
    AddLine(L"Unregistered", Path(g_module));
    return S_OK;
}
