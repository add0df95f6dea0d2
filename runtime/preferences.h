#pragma once
// The preference engine: one open settings file at a time, held in memory as an ordered list of
// group, comment and key lines, read from that list and written back to disk in one piece when it
// is closed. Texts are Windows-1251 byte strings; file names are byte strings as given.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/preference_storage.h"

namespace qx {

struct PreferenceEntry {
  enum class Kind { kGroup, kComment, kKey };
  Kind kind = Kind::kKey;
  std::string name;   // group name, comment text or key name, as the file's bytes
  std::string value;  // key value, as the file's bytes

  bool operator==(const PreferenceEntry&) const = default;
};

struct PreferenceText {
  bool utf8_mode = false;
  std::vector<PreferenceEntry> entries;

  bool operator==(const PreferenceText&) const = default;
};

// The file format, both ways.
[[nodiscard]] PreferenceText ParsePreferenceText(std::string_view bytes);
[[nodiscard]] std::string RenderPreferenceText(const PreferenceText& text);

// Decimal integer with optional leading white space and sign; 0 when there are no digits.
[[nodiscard]] std::int32_t ParsePreferenceNumber(std::string_view text);

// Names compare byte for byte, ASCII letters regardless of case.
[[nodiscard]] bool PreferenceNamesEqual(std::string_view a, std::string_view b);

// UTF-8 mode stores each byte as the code point of the same value; the way back fails (false) on
// malformed input or a code point above U+00FF.
[[nodiscard]] std::string Latin1ToUtf8(std::string_view bytes);
[[nodiscard]] bool Utf8ToLatin1(std::string_view utf8, std::string& bytes);

class PreferenceFile {
 public:
  // Storage is borrowed; null means the real file system.
  explicit PreferenceFile(PreferenceStorage* storage = nullptr);
  ~PreferenceFile();
  PreferenceFile(const PreferenceFile&) = delete;
  PreferenceFile& operator=(const PreferenceFile&) = delete;

  [[nodiscard]] bool Create(const std::string& name);
  [[nodiscard]] bool Open(const std::string& name);
  bool SelectGroup(std::string_view name);
  bool WriteText(std::string_view key, std::string_view value);
  bool WriteNumber(std::string_view key, std::int32_t value);
  [[nodiscard]] std::string ReadText(std::string_view key, std::string_view fallback) const;
  [[nodiscard]] std::int32_t ReadNumber(std::string_view key, std::int32_t fallback) const;
  // Writes the list back if it was modified (or created) and closes the file. False if a write
  // that was due did not reach the disk; the old file is then as it was.
  [[nodiscard]] bool Close();

  [[nodiscard]] bool IsOpen() const { return held_ || deferred_; }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void Clear();
  std::string Stored(std::string_view text) const;
  // Index of the current group's matching key, or kNone.
  std::size_t FindKey(std::string_view key) const;
  bool Save();

  FileStorage own_storage_;
  PreferenceStorage* storage_;
  bool held_ = false;      // a file is held open
  bool deferred_ = false;  // the file did not exist; it is created only if something is written
  bool created_ = false;   // opened by Create: close writes the list even when it is empty
  bool modified_ = false;
  bool read_only_ = false;  // held for reading only
  PreferenceText text_;
  std::size_t current_group_ = kNone;
  std::string pending_group_;
  bool has_pending_group_ = false;
};

// The program's one preference file.
[[nodiscard]] bool CreatePreferenceFile(const std::string& name);
[[nodiscard]] bool OpenPreferenceFile(const std::string& name);
bool SelectGroup(std::string_view name);
bool WriteText(std::string_view key, std::string_view value);
bool WriteNumber(std::string_view key, std::int32_t value);
[[nodiscard]] std::string ReadText(std::string_view key, std::string_view fallback);
[[nodiscard]] std::int32_t ReadNumber(std::string_view key, std::int32_t fallback);
[[nodiscard]] bool ClosePreferenceFile();

}  // namespace qx
