#include "control/pipe_name.h"

#include <windows.h>

namespace qx {

std::wstring ControlPipeName() {
  DWORD session = 0;
  // Without a session id 0 is as good as any: the name's first instance still belongs to one
  // program alone.
  (void)ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return L"\\\\.\\pipe\\Quellarotix-" + std::to_wstring(session);
}

}  // namespace qx
