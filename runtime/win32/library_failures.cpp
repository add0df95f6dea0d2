// Where the C++ library throws on the programs' behalf. Nothing in them catches an exception but a
// refused allocation (the settings reader answers one with a failure value), so the rest -- a
// string longer than memory allows, an index out of range, an empty std::function called -- would
// end the program through the terminate handler anyway: here they end it at once. Defining the
// library's throw helpers keeps its exception classes, their message strings and the formatting
// behind them out of the files: 53 KB of the exe, half of the companion.
//
// Compiled into each executable itself, not into a library, so these come before the library's own.

#include <cstdlib>
#include <new>

namespace std {
[[noreturn]] void __throw_bad_alloc() {
  throw bad_alloc();
}
[[noreturn]] void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}
[[noreturn]] void __throw_bad_exception() {
  std::abort();
}
[[noreturn]] void __throw_bad_cast() {
  std::abort();
}
[[noreturn]] void __throw_bad_typeid() {
  std::abort();
}
[[noreturn]] void __throw_bad_function_call() {
  std::abort();
}
[[noreturn]] void __throw_logic_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_domain_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
  std::abort();
}
[[noreturn]] void __throw_length_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_out_of_range(const char*) {
  std::abort();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
  std::abort();
}
[[noreturn]] void __throw_runtime_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_range_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_overflow_error(const char*) {
  std::abort();
}
[[noreturn]] void __throw_underflow_error(const char*) {
  std::abort();
}
}  // namespace std
