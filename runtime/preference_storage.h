#pragma once
// Where the preference engine's bytes come from and go to. The engine never writes the settings
// file in place: a save goes to a temporary file in the same folder, is flushed, and then replaces
// the old file in one step, so the file on disk is always either the whole old text or the whole
// new text. Each step is a virtual call so tests can make any one of them fail.

#include <memory>
#include <string>
#include <string_view>

namespace qx {

class PreferenceStorage {
 public:
  enum class Access {
    kCreate,     // open for writing, creating the file if it is missing, never truncating it
    kReadWrite,  // open an existing file for reading and writing
    kReadOnly,   // open an existing file for reading
  };

  virtual ~PreferenceStorage() = default;

  // Holds the named file open (others may read it, not write it) until Release. The name becomes
  // the target of the next save even when the file cannot be held (a missing file is created by
  // its first save); it is kept as a full path, so a save reaches the same file whatever the
  // working folder is by then.
  virtual bool Hold(const std::string& name, Access access) = 0;
  virtual bool ReadHeld(std::string& bytes) = 0;
  virtual void Release() = 0;

  // The steps of a save of the held (or last held) name. The temporary file is the name plus
  // ".<process id>.tmp"; creating it first removes those that saves of ended processes left.
  virtual bool CreateTemporary() = 0;
  virtual bool WriteTemporary(std::string_view bytes) = 0;
  virtual bool FlushTemporary() = 0;
  virtual bool ReplaceWithTemporary() = 0;
  // Closes and deletes the temporary file if one is left.
  virtual void DiscardTemporary() = 0;
};

// The real file system, on Windows through the wide-character API.
class FileStorage : public PreferenceStorage {
 public:
  FileStorage();
  ~FileStorage() override;
  FileStorage(const FileStorage&) = delete;
  FileStorage& operator=(const FileStorage&) = delete;

  bool Hold(const std::string& name, Access access) override;
  bool ReadHeld(std::string& bytes) override;
  void Release() override;
  bool CreateTemporary() override;
  bool WriteTemporary(std::string_view bytes) override;
  bool FlushTemporary() override;
  bool ReplaceWithTemporary() override;
  void DiscardTemporary() override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace qx
