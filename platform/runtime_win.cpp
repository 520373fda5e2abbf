// The parts of the C++ runtime that the program brings itself, linked into Orvandi.exe only (the
// tests keep the compiler's own, and their exceptions).
//
// The program is built without exceptions, yet libstdc++'s operator new throws bad_alloc and its
// checks that fail (a string too long, an index out of range) throw through the std::__throw_*
// functions: either alone links the whole unwinder, the exception classes and their texts into
// the program (about 55 KB). So memory comes from malloc here, and each of these ends the program
// as a fault does: the unattended run's filter (fatal_win.cpp) writes its last line, naming the
// code, and ends with 1603. None of them returns, and nothing here throws.
//
//   0xC0000017 STATUS_NO_MEMORY         operator new found no memory
//   0xC0000420 STATUS_ASSERTION_FAILURE a check of the standard library failed, a pure virtual
//                                       function was called, or terminate was reached
//
// Should a newer libstdc++ call a std::__throw_* not defined here, linking fails with a duplicate
// definition (its object file defines them all): add that one here.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

constexpr DWORD kNoMemory = 0xC0000017;
constexpr DWORD kLibraryCheckFailed = 0xC0000420;

[[noreturn]] void End(DWORD code) {
    RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    __builtin_trap();  // not reached: nothing continues a noncontinuable exception
}

void* Allocate(std::size_t size) {
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) End(kNoMemory);
    return memory;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    void* memory = _aligned_malloc(size != 0 ? size : 1, static_cast<std::size_t>(alignment));
    if (memory == nullptr) End(kNoMemory);
    return memory;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return AllocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateAligned(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, a);
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { _aligned_free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { _aligned_free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    _aligned_free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    _aligned_free(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    _aligned_free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    _aligned_free(memory);
}

// A pure virtual function called (a port used while it is being destroyed): libsupc++'s own calls
// terminate, whose default handler links the demangler (about 45 KB) to print a type name.
extern "C" void __cxa_pure_virtual() { End(kLibraryCheckFailed); }

namespace __gnu_cxx {
void __verbose_terminate_handler() { End(kLibraryCheckFailed); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { End(kNoMemory); }
void __throw_bad_array_new_length() { End(kNoMemory); }
void __throw_bad_cast() { End(kLibraryCheckFailed); }
void __throw_bad_exception() { End(kLibraryCheckFailed); }
void __throw_bad_typeid() { End(kLibraryCheckFailed); }
void __throw_domain_error(const char*) { End(kLibraryCheckFailed); }
void __throw_invalid_argument(const char*) { End(kLibraryCheckFailed); }
void __throw_length_error(const char*) { End(kLibraryCheckFailed); }
void __throw_logic_error(const char*) { End(kLibraryCheckFailed); }
void __throw_out_of_range(const char*) { End(kLibraryCheckFailed); }
void __throw_out_of_range_fmt(const char*, ...) { End(kLibraryCheckFailed); }
void __throw_overflow_error(const char*) { End(kLibraryCheckFailed); }
void __throw_range_error(const char*) { End(kLibraryCheckFailed); }
void __throw_runtime_error(const char*) { End(kLibraryCheckFailed); }
void __throw_underflow_error(const char*) { End(kLibraryCheckFailed); }
}  // namespace std
