// What a control carries besides its code: the type library that describes its classes, read
// without registering anything, and whether Windows finds the side-by-side assemblies its
// manifest names.
#include <windows.h>

#include <oaidl.h>

#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as the registry names classes.
Text GuidText(const GUID& guid) {
    wchar_t text[40];
    const int length =
        wsprintfW(text, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return FromWide(text, static_cast<std::size_t>(length));
}

// Releases a COM object when it goes out of scope.
template <typename Interface>
struct Released {
    Interface* object = nullptr;
    Released() = default;
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    ~Released() {
        if (object != nullptr) object->Release();
    }
};

}  // namespace

// oleaut32 is loaded when the first control has registered, not at the program's start: the
// window never needs it. It stays loaded: it keeps type libraries it has read.
std::optional<TypeLibrary> Win32Platform::ReadTypeLibrary(const Text& path) {
    const HMODULE oleaut32 = LoadLibraryExW(L"oleaut32.dll", nullptr, 0);  // a KnownDLL
    using Load = HRESULT(WINAPI*)(LPCOLESTR, REGKIND, ITypeLib**);
    using FreeString = void(WINAPI*)(BSTR);
    const auto load = reinterpret_cast<Load>(
        reinterpret_cast<void*>(oleaut32 ? GetProcAddress(oleaut32, "LoadTypeLibEx") : nullptr));
    const auto freeString = reinterpret_cast<FreeString>(
        reinterpret_cast<void*>(oleaut32 ? GetProcAddress(oleaut32, "SysFreeString") : nullptr));
    Released<ITypeLib> library;
    TLIBATTR* attributes = nullptr;
    if (!load || !freeString || FAILED(load(Wide(path), REGKIND_NONE, &library.object)) ||
        FAILED(library.object->GetLibAttr(&attributes))) {
        return std::nullopt;
    }
    TypeLibrary read{
        GuidText(attributes->guid), attributes->wMajorVerNum, attributes->wMinorVerNum, {}};
    library.object->ReleaseTLibAttr(attributes);
    for (UINT index = 0; index < library.object->GetTypeInfoCount(); ++index) {
        TYPEKIND kind;
        Released<ITypeInfo> info;
        TYPEATTR* type = nullptr;
        BSTR name = nullptr;
        if (FAILED(library.object->GetTypeInfoType(index, &kind)) || kind != TKIND_COCLASS ||
            FAILED(library.object->GetTypeInfo(index, &info.object)) ||
            FAILED(info.object->GetTypeAttr(&type))) {
            continue;
        }
        const CoClass coclass{GuidText(type->guid), Text(),
                              (type->wTypeFlags & TYPEFLAG_FCANCREATE) != 0};
        info.object->ReleaseTypeAttr(type);
        read.classes.push_back(coclass);
        if (SUCCEEDED(library.object->GetDocumentation(static_cast<INT>(index), &name, nullptr,
                                                       nullptr, nullptr)) &&
            name != nullptr) {
            read.classes.back().name = FromWide(name, wcslen(name));
            freeString(name);
        }
    }
    return read;
}

// An activation context made from a manifest that depends on that assembly alone: Windows fails
// it (error 14001) when it does not find the assembly, as it fails to load a control that needs
// it. The manifest is a temporary file in the system folder, which only administrators can
// write; the identity holds nothing but names, numbers and quotes.
bool Win32Platform::FindsAssembly(const Text& identity) {
    const Text manifest = Join(
        {u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><assembly "
         u"xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"><assemblyIdentity "
         u"type=\"win32\" name=\"Orvandi.Check\" version=\"1.0.0.0\" "
         u"processorArchitecture=\"x86\"/><dependency><dependentAssembly><assemblyIdentity",
         identity, u"/></dependentAssembly></dependency></assembly>"});
    Text path;
    try {
        path = WriteTemporary(SystemPath(GetSystemDirectoryW), manifest);
    } catch (const Failure&) {
        return false;
    }
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.lpSource = Wide(path);
    const HANDLE created = CreateActCtxW(&context);
    DeleteFileW(Wide(path));
    if (created == INVALID_HANDLE_VALUE) return false;
    ReleaseActCtx(created);
    return true;
}

}  // namespace orvandi
