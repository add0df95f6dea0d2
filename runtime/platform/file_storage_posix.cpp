// The settings file's storage on the POSIX host, where the portable core is tested: the same
// steps with rename(2) and fsync(2).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <string_view>

#include "runtime/platform/temporary_files.h"
#include "runtime/preference_storage.h"

namespace qx {

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

FileStorage::FileStorage() : state_(std::make_unique<State>()) {}

FileStorage::~FileStorage() {
  DiscardTemporary();
  Release();
}

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

}  // namespace qx
