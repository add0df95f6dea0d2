// The settings file's storage on Windows: a save must replace the old file in one step, which
// needs the platform's own rename (MoveFileExW), and names go through the wide API.
#include <windows.h>

#include <string>
#include <string_view>

#include "runtime/platform/temporary_files.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/preference_storage.h"
#include "runtime/text.h"

namespace qx {

namespace {

// File names arrive as the program's Windows-1251 bytes; the wide API sees them right on a Windows
// of any language. ReplaceFile and MoveFileEx want full paths.
std::wstring FullPath(const std::string& name) {
  const std::wstring wide = WidenText(name);
  if (wide.empty()) return {};
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return {};
  full.resize(written);
  return full;
}

void CloseIfOpen(HANDLE& handle) {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

// A process that cannot be opened for want of rights is another user's, and running.
bool IsProcessRunning(DWORD id) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

void RemoveAbandonedTemporaries(const std::wstring& target) {
  const std::size_t slash = target.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return;
  const std::wstring folder = target.substr(0, slash + 1);
  const std::wstring file = target.substr(slash + 1);
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((target + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const unsigned long owner = TemporaryOwner<wchar_t>(file, found.cFileName);
    if (owner != 0 && owner != GetCurrentProcessId() && !IsProcessRunning(owner)) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

struct FileStorage::State {
  std::wstring target;
  std::wstring temporary;
  HANDLE held = INVALID_HANDLE_VALUE;
  HANDLE temporary_file = INVALID_HANDLE_VALUE;
};

FileStorage::FileStorage() : state_(std::make_unique<State>()) {}

FileStorage::~FileStorage() {
  DiscardTemporary();
  Release();
}

bool FileStorage::Hold(const std::string& name, Access access) {
  Release();
  state_->target = FullPath(name);
  if (state_->target.empty()) return false;
  const DWORD rights = access == Access::kReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  // Holding for reading only must not stop at another reader-writer; holding for writing keeps
  // other writers out until the file is closed.
  const DWORD share = access == Access::kReadOnly ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  const DWORD disposition = access == Access::kCreate ? OPEN_ALWAYS : OPEN_EXISTING;
  state_->held = CreateFileW(state_->target.c_str(), rights, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return state_->held != INVALID_HANDLE_VALUE;
}

bool FileStorage::ReadHeld(std::string& bytes) {
  bytes.clear();
  LARGE_INTEGER size{};
  if (state_->held == INVALID_HANDLE_VALUE || !GetFileSizeEx(state_->held, &size)) return false;
  if (size.QuadPart > 64 * 1024 * 1024) return false;  // no settings file is this large
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(state_->held, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr) || got == 0)
      break;
    done += got;
  }
  bytes.resize(done);
  return true;
}

void FileStorage::Release() { CloseIfOpen(state_->held); }

bool FileStorage::CreateTemporary() {
  DiscardTemporary();
  if (state_->target.empty()) return false;
  RemoveAbandonedTemporaries(state_->target);
  // The process number in digits of our own: the library's wide formatting would bring a whole
  // printf implementation into the program for this one number.
  const std::string process = DecimalText(GetCurrentProcessId());
  state_->temporary = state_->target + L"." + std::wstring(process.begin(), process.end()) + L".tmp";
  state_->temporary_file =
      CreateFileW(state_->temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (state_->temporary_file == INVALID_HANDLE_VALUE) {
    state_->temporary.clear();
    return false;
  }
  return true;
}

bool FileStorage::WriteTemporary(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD put = 0;
    const DWORD chunk = bytes.size() > (1u << 20) ? (1u << 20) : static_cast<DWORD>(bytes.size());
    if (!WriteFile(state_->temporary_file, bytes.data(), chunk, &put, nullptr) || put == 0) return false;
    bytes.remove_prefix(put);
  }
  return true;
}

bool FileStorage::FlushTemporary() { return FlushFileBuffers(state_->temporary_file) != 0; }

bool FileStorage::ReplaceWithTemporary() {
  CloseIfOpen(state_->temporary_file);
  if (!MoveFileExW(state_->temporary.c_str(), state_->target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return false;
  state_->temporary.clear();
  return true;
}

void FileStorage::DiscardTemporary() {
  CloseIfOpen(state_->temporary_file);
  if (!state_->temporary.empty()) DeleteFileW(state_->temporary.c_str());
  state_->temporary.clear();
}

}  // namespace qx
