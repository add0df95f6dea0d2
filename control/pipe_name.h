#pragma once
// Where the console channel meets. Windows only; the program and its console companion both use it.

#include <string>

namespace qx {

// "\\.\pipe\Quellarotix-<session id>". Pipe names are machine-wide; the session in the name keeps
// two users' programs (one per session, like the single-instance claim) apart.
[[nodiscard]] std::wstring ControlPipeName();

}  // namespace qx
