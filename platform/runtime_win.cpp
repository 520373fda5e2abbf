// Two parts of libstdc++ that the program replaces, each because it linked code the program never
// uses into every copy of it.
//
// The default terminate handler prints the demangled type of the exception that escaped, which
// links the whole demangler (about 45 KB). Every exception is caught at the window procedure and
// around an unattended run, so terminate is only ever reached by a fault: end at once.
//
// libstdc++ reports its own checks that fail (a string too long, an index out of range) through
// the std::__throw_* functions below, which build std::logic_error and the like with a text. That
// text machinery links two whole string implementations and more: 56 KB, a quarter of the program
// (measured: 202,240 bytes with it, 146,432 without). The texts are never shown: the window
// reports an exception it does not know as "Internal error" (Form1::Guarded), and an unattended
// run ends with 1603. So these throw without a text, and bad_alloc stays bad_alloc. Should a newer
// libstdc++ call one more of them, linking fails with a duplicate definition: add that one here.
#include <cstdlib>
#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {
struct LibraryCheckFailed {};
}  // namespace

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { throw LibraryCheckFailed(); }
void __throw_logic_error(const char*) { throw LibraryCheckFailed(); }
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryCheckFailed(); }
}  // namespace std
