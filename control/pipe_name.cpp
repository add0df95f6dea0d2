#include "control/pipe_name.h"

#include <windows.h>

namespace qx {

std::wstring ControlPipeName() {
  DWORD session = 0;
  // Without a session id 0 is as good as any: the name's first instance still belongs to one
  // program alone.
  (void)ProcessIdToSessionId(GetCurrentProcessId(), &session);
  // Digits by hand: the library's number formatting would bring its wide printf into both programs.
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + session % 10));
    session /= 10;
  } while (session != 0);
  return L"\\\\.\\pipe\\Quellarotix-" + digits;
}

}  // namespace qx
