// What a control carries besides its code, read without loading or registering anything: the
// DLLs it needs, the type library that describes its classes, and whether Windows finds the
// side-by-side assemblies its manifest names.
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

// Read through a handle, never loaded: the control is not run to learn what it needs.
Dependencies Win32Files::ReadDependencies(const Text& path) {
    Dependencies needs;
    const FileHandle file = OpenToRead(path);
    if (!file) return needs;
    HandleBytes bytes(file.get());
    PeImage image(bytes);
    needs.imports = image.ImportedDlls();
    needs.delayed = image.DelayLoadedDlls();
    // A DLL's own manifest is its resource 2 (ISOLATIONAWARE_MANIFEST_RESOURCE_ID), in UTF-8.
    if (const std::optional<Bytes> manifest = image.Resource(24, 2)) {
        const int size = static_cast<int>(manifest->size());
        needs.manifest.resize(MultiByteToWideChar(CP_UTF8, 0, manifest->data(), size, nullptr, 0));
        MultiByteToWideChar(CP_UTF8, 0, manifest->data(), size, Wide(needs.manifest),
                            static_cast<int>(needs.manifest.size()));
    }
    return needs;
}

// oleaut32 is loaded when the first control has registered, not at the program's start: the
// window never needs it. It stays loaded: it keeps type libraries it has read.
std::optional<TypeLibrary> Win32Files::ReadTypeLibrary(const Text& path) {
    const HMODULE oleaut32 = LoadLibraryExW(L"oleaut32.dll", nullptr, 0);  // a KnownDLL
    const auto load =
        Function<HRESULT(WINAPI*)(LPCOLESTR, REGKIND, ITypeLib**)>(oleaut32, "LoadTypeLibEx");
    const auto freeString = Function<void(WINAPI*)(BSTR)>(oleaut32, "SysFreeString");
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
            read.classes.back().name = FromWide(name);
            freeString(name);
        }
    }
    return read;
}

// An activation context made from a manifest that depends on that assembly alone: Windows fails
// it (error 14001) when it does not find the assembly, as it fails to load a control that needs
// it. The manifest is a temporary file in the system folder, which only administrators can
// write; the identity holds nothing but names, numbers and quotes.
bool Win32Files::FindsAssembly(const Text& identity) {
    const Text manifest = Join(
        {u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><assembly "
         u"xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"><assemblyIdentity "
         u"type=\"win32\" name=\"Orvandi.Check\" version=\"1.0.0.0\" "
         u"processorArchitecture=\"x86\"/><dependency><dependentAssembly><assemblyIdentity",
         identity, u"/></dependentAssembly></dependency></assembly>"});
    const Result<Text> system = SystemPath(GetSystemDirectoryW);
    const Result<Text> path = system ? WriteTemporary(*system, manifest) : system;
    if (!path) return false;
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.lpSource = Wide(*path);
    const HANDLE created = CreateActCtxW(&context);
    DeleteFileW(Wide(*path));
    if (created == INVALID_HANDLE_VALUE) return false;
    ReleaseActCtx(created);
    return true;
}

}  // namespace orvandi
