// The one place in the portable runtime that talks to the operating system's file API: a settings
// save must replace the old file in one step, which needs the platform's own rename.
#include "runtime/preference_storage.h"

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

namespace qx {

namespace {

// A save writes "<file>.<process id>.tmp" beside the file and renames it over the file. A save
// killed half way leaves its temporary file behind, and they would pile up; one whose process has
// ended belongs to nobody, so the next save removes it. Returns the process id in `name`, a
// temporary of `file`, or 0 for any other name.
template <class Char>
unsigned long TemporaryOwner(std::basic_string_view<Char> file, std::basic_string_view<Char> name) {
  constexpr Char kSuffix[] = {'.', 't', 'm', 'p'};
  constexpr std::size_t kSuffixLength = 4;
  if (name.size() <= file.size() + 1 + kSuffixLength || name.substr(0, file.size()) != file ||
      name[file.size()] != Char('.') ||
      name.substr(name.size() - kSuffixLength) != std::basic_string_view<Char>(kSuffix, kSuffixLength)) {
    return 0;
  }
  const auto digits = name.substr(file.size() + 1, name.size() - file.size() - 1 - kSuffixLength);
  if (digits.size() > 9) return 0;
  unsigned long id = 0;
  for (Char c : digits) {
    if (c < Char('0') || c > Char('9')) return 0;
    id = id * 10 + static_cast<unsigned long>(c - Char('0'));
  }
  return id;
}

}  // namespace

#ifdef _WIN32

namespace {

// File names arrive as the program's Windows-1251 bytes; the wide API sees them right on a Windows
// of any language. ReplaceFile and MoveFileEx want full paths.
std::wstring FullPath(const std::string& name) {
  if (name.empty()) return {};
  const int length = MultiByteToWideChar(1251, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(1251, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
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
  state_->temporary = state_->target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
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

#else  // POSIX host, where the portable core is tested

namespace {

std::string FullPath(const std::string& name) {
  if (name.empty() || name.front() == '/') return name;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return {};
  return std::string(cwd) + "/" + name;
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

bool IsProcessRunning(unsigned long id) {
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

void RemoveAbandonedTemporaries(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  if (slash == std::string::npos) return;
  const std::string folder = target.substr(0, slash + 1);
  const std::string file = target.substr(slash + 1);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const unsigned long owner = TemporaryOwner<char>(file, entry->d_name);
    if (owner != 0 && owner != static_cast<unsigned long>(getpid()) && !IsProcessRunning(owner)) {
      unlink((folder + entry->d_name).c_str());
    }
  }
  closedir(dir);
}

}  // namespace

struct FileStorage::State {
  std::string target;
  std::string temporary;
  int held = -1;
  int temporary_file = -1;
};

bool FileStorage::Hold(const std::string& name, Access access) {
  Release();
  state_->target = FullPath(name);
  if (state_->target.empty()) return false;
  const int flags = access == Access::kReadOnly ? O_RDONLY : access == Access::kCreate ? O_RDWR | O_CREAT : O_RDWR;
  state_->held = open(state_->target.c_str(), flags | O_CLOEXEC, 0666);
  return state_->held >= 0;
}

bool FileStorage::ReadHeld(std::string& bytes) {
  bytes.clear();
  if (state_->held < 0) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(state_->held, buffer, sizeof buffer);
    if (got <= 0) return got == 0;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

void FileStorage::Release() { CloseIfOpen(state_->held); }

bool FileStorage::CreateTemporary() {
  DiscardTemporary();
  if (state_->target.empty()) return false;
  RemoveAbandonedTemporaries(state_->target);
  state_->temporary = state_->target + "." + std::to_string(getpid()) + ".tmp";
  state_->temporary_file = open(state_->temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (state_->temporary_file < 0) {
    state_->temporary.clear();
    return false;
  }
  return true;
}

bool FileStorage::WriteTemporary(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = write(state_->temporary_file, bytes.data(), bytes.size());
    if (put <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

bool FileStorage::FlushTemporary() { return fsync(state_->temporary_file) == 0; }

bool FileStorage::ReplaceWithTemporary() {
  CloseIfOpen(state_->temporary_file);
  if (rename(state_->temporary.c_str(), state_->target.c_str()) != 0) return false;
  state_->temporary.clear();
  // The rename itself is durable only once the folder is.
  const std::string folder = state_->target.substr(0, state_->target.rfind('/') + 1);
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

void FileStorage::DiscardTemporary() {
  CloseIfOpen(state_->temporary_file);
  if (!state_->temporary.empty()) unlink(state_->temporary.c_str());
  state_->temporary.clear();
}

#endif

FileStorage::FileStorage() : state_(std::make_unique<State>()) {}

FileStorage::~FileStorage() {
  DiscardTemporary();
  Release();
}

}  // namespace qx
