// The bare console programs the companion's wall time is measured against, built by the same
// compiler with the same options: one only starts and exits; the other (QX_BARE_USER32) also makes
// one call into user32, as the companion must to find the program's window, so its share of the
// time can be told apart.
#ifdef QX_BARE_USER32
#include <windows.h>
#endif

int main() {
#ifdef QX_BARE_USER32
  return GetWindowThreadProcessId(nullptr, nullptr) == 1 ? 1 : 0;
#else
  return 0;
#endif
}
