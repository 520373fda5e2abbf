// A sample ActiveX control file for trying the installer out. It holds no control: registering it
// only records that the registration ran, under HKCU\Software\OrvandiSamples\<its file name>:
//   Count       (DWORD)  how many times DllRegisterServer ran for a file of that name
// and, about the last time:
//   Path        (REG_SZ) the full path the file was loaded from
//   Directory   (REG_SZ) the registering process's current directory
//   CommandLine (REG_SZ) the registering process's command line
//   Show        (DWORD)  the window state it was started with (wShowWindow), or 0xFFFFFFFF
// Copies of this one file under different names give distinct records.
#include <windows.h>

#include <olectl.h>

#include <string>

#include "ui/e2e/reg_key.h"

namespace {

using orvandi::e2e::CreateUserKey;
using orvandi::e2e::kSamplesKey;

HMODULE g_module = nullptr;

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

std::wstring CurrentDirectory() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

std::wstring RecordKey() {
    std::wstring path = ModulePath();
    return std::wstring(kSamplesKey) + L"\\" + path.substr(path.find_last_of(L'\\') + 1);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    auto key = CreateUserKey(RecordKey().c_str());
    if (!key) return SELFREG_E_CLASS;
    DWORD count = 0;
    DWORD size = sizeof count;
    if (RegQueryValueExW(key.get(), L"Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&count),
                         &size) != ERROR_SUCCESS) {
        count = 0;
    }
    ++count;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    DWORD show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : 0xFFFFFFFF;
    if (!SetText(key.get(), L"Path", ModulePath()) ||
        !SetText(key.get(), L"Directory", CurrentDirectory()) ||
        !SetText(key.get(), L"CommandLine", GetCommandLineW()) ||
        !SetNumber(key.get(), L"Show", show) || !SetNumber(key.get(), L"Count", count)) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, RecordKey().c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
