// Where the C++ library would throw (a string longer than memory allows, an allocation refused),
// the companion ends at once. Nothing in it catches such an exception, so each would end it
// through the terminate handler anyway; defining the library's throw helpers here keeps the
// exception classes, their message strings and the formatting behind them out of the file, which
// is a third of it. (The window program keeps the library's own: its settings reader catches a
// refused allocation.)

#include <cstdlib>

namespace std {
[[noreturn]] void __throw_bad_exception() {
  std::abort();
}
[[noreturn]] void __throw_bad_alloc() {
  std::abort();
}
[[noreturn]] void __throw_bad_array_new_length() {
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
