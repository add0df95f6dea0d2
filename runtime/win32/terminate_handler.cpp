// What the C++ runtime does with an exception nobody catches. Its default prints the exception's
// type, demangled, to the standard error stream before it aborts, and the demangler alone would be
// a sixth of the program's file. The programs abort at once. (Nothing in them lets an exception
// escape; this is the last resort.)
//
// Compiled into each executable itself, not into a library: the runtime's own definition would
// otherwise be taken first.

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx
