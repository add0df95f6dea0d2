// Start at log-on through the user's Run key. Task Manager can switch such a value off without
// removing it: it keeps a record of the same name under Explorer\StartupApproved\Run whose first
// byte has its lowest bit set while the value is off. Only this user's keys are touched, so no
// administrator's rights are needed.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/platform/text_encoding.h"
#include "runtime/text.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"

namespace qx {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// What Task Manager itself writes when it switches a value on: 02 and eleven zero bytes (the
// rest would hold the time it was switched off).
constexpr BYTE kSwitchedOn[12] = {0x02};

// Opens (or, when asked, creates) one of the user's keys; the system's status of the attempt.
LSTATUS OpenUserKey(const wchar_t* path, REGSAM access, UniqueHkey& key, bool create = false) {
  HKEY opened = nullptr;
  const LSTATUS status =
      create ? RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, access, nullptr, &opened, nullptr)
             : RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &opened);
  key.reset(status == ERROR_SUCCESS ? opened : nullptr);
  return status;
}

// The value's bytes and type; false if there is no such value.
bool ReadValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& bytes) {
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
  for (int attempt = 0; attempt < 4 && status == ERROR_SUCCESS; ++attempt) {
    bytes.resize(size);
    if (size == 0) return true;
    status = RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes.data(), &size);
    if (status == ERROR_SUCCESS) {
      bytes.resize(size);
      return true;
    }
    // A value that grew between the two calls is asked for again at its new size.
    if (status == ERROR_MORE_DATA) status = ERROR_SUCCESS;
  }
  return false;
}

// The program a Run value's command starts: the quoted part, or the whole command unquoted.
std::wstring CommandProgram(std::wstring command) {
  const std::size_t first = command.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  command.erase(0, first);
  if (command.front() == L'"') {
    const std::size_t close = command.find(L'"', 1);
    return close == std::wstring::npos ? std::wstring() : command.substr(1, close - 1);
  }
  return command.substr(0, command.find_last_not_of(L' ') + 1);
}

bool RunValueNamesThisProgram(const std::wstring& name) {
  UniqueHkey run;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  if (OpenUserKey(kRunKey, KEY_QUERY_VALUE, run) != ERROR_SUCCESS || !ReadValue(run.get(), name, type, bytes))
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::wstring command(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  command.resize(std::min(command.size(), command.find(L'\0')));
  if (type == REG_EXPAND_SZ) {
    std::wstring expanded(ExpandEnvironmentStringsW(command.c_str(), nullptr, 0), L'\0');
    const DWORD length =
        ExpandEnvironmentStringsW(command.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (length == 0 || length > expanded.size()) return false;
    expanded.resize(length - 1);
    command = std::move(expanded);
  }
  return SamePath(CommandProgram(command), ProgramFileWidePath());
}

// No record at all means on: Task Manager makes one only when the user switches the value.
bool SwitchedOffInTaskManager(const std::wstring& name) {
  UniqueHkey approved;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  return OpenUserKey(kApprovedKey, KEY_QUERY_VALUE, approved) == ERROR_SUCCESS &&
         ReadValue(approved.get(), name, type, bytes) && !bytes.empty() && (bytes[0] & 1) != 0;
}

std::string SystemReason(LSTATUS status) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = length > 0 && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' '))
    reason.pop_back();
  // The number always: it is what a user can look up when the system has no words for it.
  return Concatenate(NarrowText(reason), reason.empty() ? "" : " ", "(", DecimalText(status), ")");
}

}  // namespace

bool StartsAtLogon(const std::string& name) {
  const std::wstring wide = WidenText(name);
  return RunValueNamesThisProgram(wide) && !SwitchedOffInTaskManager(wide);
}

bool SetStartAtLogon(const std::string& name, bool on, std::string& reason) {
  reason.clear();
  const std::wstring wide = WidenText(name);
  UniqueHkey run;
  LSTATUS status = ERROR_SUCCESS;
  if (!on) {
    status = OpenUserKey(kRunKey, KEY_SET_VALUE, run);
    if (status == ERROR_SUCCESS) status = RegDeleteValueW(run.get(), wide.c_str());
    // Nothing to remove is what was asked for.
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  } else {
    const std::wstring program = ProgramFileWidePath();
    const std::wstring command = L"\"" + program + L"\"";
    status = program.empty() ? ERROR_BAD_PATHNAME : OpenUserKey(kRunKey, KEY_SET_VALUE, run, true);
    if (status == ERROR_SUCCESS) {
      status = RegSetValueExW(run.get(), wide.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                              static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    // The user has just asked for the start, so a switch-off of Task Manager's goes too.
    if (status == ERROR_SUCCESS && SwitchedOffInTaskManager(wide)) {
      UniqueHkey approved;
      status = OpenUserKey(kApprovedKey, KEY_SET_VALUE, approved);
      if (status == ERROR_SUCCESS)
        status = RegSetValueExW(approved.get(), wide.c_str(), 0, REG_BINARY, kSwitchedOn, sizeof(kSwitchedOn));
    }
  }
  if (status == ERROR_SUCCESS) return true;
  reason = SystemReason(status);
  return false;
}

}  // namespace qx
