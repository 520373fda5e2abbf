// A sample ActiveX control that records, under HKCU\Software\OrvandiSamples\<its file name>,
// each registration (its path, the registering program, its folder and show state), each
// unregistration, and, planted as a system DLL, who loads it. Its registration registers its class
// Campione for it ("Altrove...": for Altro.ocx beside it); "Guasto..." fails it; "Lento..." records
// the registering process, sets OrvandiSamples.Registering and takes 3 s or until
// OrvandiSamples.Release is set; "Figlio..." starts a two-minute program, records its id as Child
// and waits a minute. With SAMPLE_IMPORTS it imports a DLL that does not exist.
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

// This copy's key of records.
std::wstring Key() {
    const std::wstring self = Path(g_module);
    return L"Software\\OrvandiSamples\\" + self.substr(self.rfind(L'\\') + 1);
}

void SetText(HKEY root, const std::wstring& key, const wchar_t* value, const std::wstring& text) {
    RegSetKeyValueW(root, key.c_str(), value, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void AddLine(const wchar_t* value, const std::wstring& line) {
    wchar_t lines[4096] = L"";
    DWORD size = sizeof lines;
    RegGetValueW(HKEY_CURRENT_USER, Key().c_str(), value, RRF_RT_REG_SZ, nullptr, lines, &size);
    SetText(HKEY_CURRENT_USER, Key(), value, lines + line + L"\n");
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
            SetText(HKEY_CURRENT_USER, Key(), L"Process", std::to_wstring(GetCurrentProcessId()));
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
            RegSetKeyValueW(HKEY_CURRENT_USER, Key().c_str(), L"Child", REG_DWORD,
                            &started.dwProcessId, sizeof started.dwProcessId);
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
        Sleep(60000);
    }
    wchar_t folder[MAX_PATH];
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const bool shown = startup.dwFlags & STARTF_USESHOWWINDOW;
    const std::wstring server = self.find(L"\\Altrove") == std::wstring::npos
                                    ? self
                                    : self.substr(0, self.rfind(L'\\')) + L"\\Altro.ocx";
    SetText(HKEY_CLASSES_ROOT, kServer, nullptr, server);
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
