// Keeps heavy parts of the C++ runtime out of the executable.
//
// The standard library reports misuse (a string grown past its limit, an
// index out of range) through these functions; the library's own versions
// throw std::logic_error and friends, whose copy-on-write message strings
// bring some 50 KB of code along. Here they throw the setup's own error, which
// every handler's error boundary shows like any other. Allocation failures
// still throw std::bad_alloc. An exception that nothing catches ends the
// process without the demangling terminate report.
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

#include "setupdata/errors.h"

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
} // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_logic_error(const char* what) { throw tavix::SetupError(what); }
void __throw_domain_error(const char* what) { throw tavix::SetupError(what); }
void __throw_invalid_argument(const char* what) { throw tavix::SetupError(what); }
void __throw_length_error(const char* what) { throw tavix::SetupError(what); }
void __throw_out_of_range(const char* what) { throw tavix::SetupError(what); }
// The library's format holds %s, %zu and %lu; they are filled in here
// without pulling in a printf.
void __throw_out_of_range_fmt(const char* fmt, ...) {
    std::string text;
    va_list ap;
    va_start(ap, fmt);
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            text += *p;
            continue;
        }
        ++p;
        while (*p == 'z' || *p == 'l') ++p;  // the size modifiers of %zu and %lu
        if (*p == 's') {
            const char* s = va_arg(ap, const char*);
            text += s ? s : "";
        } else if (*p == 'u' || *p == 'd') {
            text += std::to_string(va_arg(ap, std::size_t));
        } else if (*p == '%') {
            text += '%';
        } else {
            break;
        }
    }
    va_end(ap);
    throw tavix::SetupError(text);
}
void __throw_runtime_error(const char* what) { throw tavix::SetupError(what); }
void __throw_range_error(const char* what) { throw tavix::SetupError(what); }
void __throw_overflow_error(const char* what) { throw tavix::SetupError(what); }
void __throw_underflow_error(const char* what) { throw tavix::SetupError(what); }
} // namespace std
