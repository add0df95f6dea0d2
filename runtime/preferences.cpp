#include "runtime/preferences.h"

#include <limits>
#include <new>

namespace qx {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

PreferenceEntry ParseLine(std::string_view line) {
  PreferenceEntry entry;
  if (line.front() == ';') {
    entry.kind = PreferenceEntry::Kind::kComment;
    line.remove_prefix(1);
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    entry.name = line;
  } else if (line.front() == '[') {
    entry.kind = PreferenceEntry::Kind::kGroup;
    line.remove_prefix(1);
    entry.name = line.substr(0, line.find(']'));
  } else {
    entry.kind = PreferenceEntry::Kind::kKey;
    const std::size_t equals = line.find('=');
    std::string_view name = line.substr(0, equals);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    entry.name = name;
    if (equals != std::string_view::npos) {
      std::string_view value = line.substr(equals + 1);
      while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
      entry.value = value;
    }
  }
  return entry;
}

}  // namespace

PreferenceText ParsePreferenceText(std::string_view bytes) {
  PreferenceText text;
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
    text.utf8_mode = true;
    bytes.remove_prefix(kUtf8Mark.size());
  }
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    while (pos < bytes.size() && (IsLineEnd(bytes[pos]) || IsBlank(bytes[pos]))) ++pos;
    std::size_t end = pos;
    while (end < bytes.size() && !IsLineEnd(bytes[end])) ++end;
    if (end > pos) text.entries.push_back(ParseLine(bytes.substr(pos, end - pos)));
    pos = end;
  }
  return text;
}

std::string RenderPreferenceText(const PreferenceText& text) {
  std::string out;
  if (text.utf8_mode) out = "\xEF\xBB\xBF\r\n";
  for (const PreferenceEntry& entry : text.entries) {
    switch (entry.kind) {
      case PreferenceEntry::Kind::kGroup:
        out.append("[").append(entry.name).append("]");
        break;
      case PreferenceEntry::Kind::kComment:
        out.append("; ").append(entry.name);
        break;
      case PreferenceEntry::Kind::kKey:
        out.append(entry.name).append(" = ").append(entry.value);
        break;
    }
    out.append("\r\n");
  }
  return out;
}

// Digits beyond the 32-bit range saturate at the nearest end of the range: a settings value that
// overflowed was meant to be large, and wrapping would turn it into an arbitrary (often negative)
// number.
std::int32_t ParsePreferenceNumber(std::string_view text) {
  std::size_t pos = 0;
  auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  while (pos < text.size() && is_space(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min()) : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

bool PreferenceNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

bool Utf8ToLatin1(std::string_view utf8, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      bytes.push_back(static_cast<char>(b));
      continue;
    }
    // Only C2 and C3 lead bytes encode U+0080..U+00FF; anything else is either malformed or
    // beyond what one byte can hold.
    if ((b != 0xC2 && b != 0xC3) || i + 1 >= utf8.size()) return false;
    const auto next = static_cast<unsigned char>(utf8[i + 1]);
    if ((next & 0xC0) != 0x80) return false;
    bytes.push_back(static_cast<char>(((b & 0x03) << 6) | (next & 0x3F)));
    ++i;
  }
  return true;
}

PreferenceFile::PreferenceFile(PreferenceStorage* storage) : storage_(storage ? storage : &own_storage_) {}

PreferenceFile::~PreferenceFile() { (void)Close(); }  // a destructor has nobody to tell

void PreferenceFile::Clear() {
  held_ = deferred_ = created_ = modified_ = read_only_ = false;
  text_ = PreferenceText{};
  current_group_ = kNone;
  pending_group_.clear();
  has_pending_group_ = false;
}

bool PreferenceFile::Create(const std::string& name) {
  (void)Close();  // a file still open is given up for the new one, as the engine always has
  // The old file stays whole on disk until the new text replaces it at close; what is checked
  // here is only that the file can be written at all.
  if (!storage_->Hold(name, PreferenceStorage::Access::kCreate)) return false;
  held_ = created_ = true;
  return true;
}

bool PreferenceFile::Open(const std::string& name) {
  (void)Close();  // as in Create
  if (storage_->Hold(name, PreferenceStorage::Access::kReadWrite)) {
    held_ = true;
  } else if (storage_->Hold(name, PreferenceStorage::Access::kReadOnly)) {
    // Reads work; whatever is written stays in memory, as a write to a read-only file would fail.
    held_ = read_only_ = true;
  } else {
    deferred_ = true;
    return false;
  }
  try {
    std::string bytes;
    if (storage_->ReadHeld(bytes)) text_ = ParsePreferenceText(bytes);
  } catch (const std::bad_alloc&) {
    text_ = PreferenceText{};
  }
  return true;
}

bool PreferenceFile::SelectGroup(std::string_view name) {
  if (!IsOpen()) return false;
  if (name.empty()) {
    current_group_ = kNone;
    has_pending_group_ = false;
    pending_group_.clear();
    return true;
  }
  try {
    const std::string wanted = Stored(name);
    for (std::size_t i = 0; i < text_.entries.size(); ++i) {
      const PreferenceEntry& entry = text_.entries[i];
      if (entry.kind == PreferenceEntry::Kind::kGroup && PreferenceNamesEqual(entry.name, wanted)) {
        current_group_ = i;
        has_pending_group_ = false;
        pending_group_.clear();
        return true;
      }
    }
    pending_group_ = name;
    has_pending_group_ = true;
  } catch (const std::bad_alloc&) {
  }
  return false;
}

std::string PreferenceFile::Stored(std::string_view text) const {
  return text_.utf8_mode ? Latin1ToUtf8(text) : std::string(text);
}

std::size_t PreferenceFile::FindKey(std::string_view key) const {
  const std::string wanted = Stored(key);
  const std::size_t start = current_group_ == kNone ? 0 : current_group_ + 1;
  for (std::size_t i = start; i < text_.entries.size(); ++i) {
    const PreferenceEntry& entry = text_.entries[i];
    if (entry.kind == PreferenceEntry::Kind::kGroup) break;
    if (entry.kind == PreferenceEntry::Kind::kKey && PreferenceNamesEqual(entry.name, wanted)) return i;
  }
  return kNone;
}

bool PreferenceFile::WriteText(std::string_view key, std::string_view value) {
  if (!IsOpen()) return false;
  try {
    PreferenceEntry entry{PreferenceEntry::Kind::kKey, Stored(key), Stored(value)};
    // Reserve first, so a failed allocation leaves the list as it was.
    text_.entries.reserve(text_.entries.size() + 2);
    if (has_pending_group_) {
      text_.entries.push_back({PreferenceEntry::Kind::kGroup, Stored(pending_group_), {}});
      current_group_ = text_.entries.size() - 1;
      has_pending_group_ = false;
      pending_group_.clear();
    }
    const std::size_t found = FindKey(key);
    if (found != kNone) {
      text_.entries[found] = std::move(entry);
    } else {
      // After the last entry of the current group; with no group selected, after the keys that
      // precede the first group, where a read will look for it.
      std::size_t at = current_group_ == kNone ? 0 : current_group_ + 1;
      while (at < text_.entries.size() && text_.entries[at].kind != PreferenceEntry::Kind::kGroup) ++at;
      text_.entries.insert(text_.entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  modified_ = true;
  return true;
}

bool PreferenceFile::WriteNumber(std::string_view key, std::int32_t value) {
  return WriteText(key, std::to_string(value));
}

std::string PreferenceFile::ReadText(std::string_view key, std::string_view fallback) const {
  if (!IsOpen() || has_pending_group_) return std::string(fallback);
  try {
    const std::size_t found = FindKey(key);
    if (found == kNone) return std::string(fallback);
    const std::string_view value = TrimBlanks(text_.entries[found].value);
    if (!text_.utf8_mode) return std::string(value);
    std::string bytes;
    return Utf8ToLatin1(value, bytes) ? bytes : std::string();
  } catch (const std::bad_alloc&) {
    return std::string(fallback);
  }
}

std::int32_t PreferenceFile::ReadNumber(std::string_view key, std::int32_t fallback) const {
  if (!IsOpen() || has_pending_group_) return fallback;
  try {
    const std::size_t found = FindKey(key);
    return found == kNone ? fallback : ParsePreferenceNumber(text_.entries[found].value);
  } catch (const std::bad_alloc&) {
    return fallback;
  }
}

bool PreferenceFile::Save() {
  std::string bytes;
  try {
    bytes = RenderPreferenceText(text_);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const bool saved = storage_->CreateTemporary() && storage_->WriteTemporary(bytes) && storage_->FlushTemporary() &&
                     storage_->ReplaceWithTemporary();
  storage_->DiscardTemporary();
  return saved;
}

bool PreferenceFile::Close() {
  if (!IsOpen()) return true;
  // The held file is let go first: Windows cannot replace a file this process still has open.
  if (held_) storage_->Release();
  // After a failed save the old file is whole; the caller decides whom to tell.
  bool saved = true;
  if (modified_ || created_) saved = !read_only_ && Save();
  Clear();
  return saved;
}

namespace {
PreferenceFile& ProgramPreferenceFile() {
  static PreferenceFile file;
  return file;
}
}  // namespace

bool CreatePreferenceFile(const std::string& name) { return ProgramPreferenceFile().Create(name); }
bool OpenPreferenceFile(const std::string& name) { return ProgramPreferenceFile().Open(name); }
bool SelectGroup(std::string_view name) { return ProgramPreferenceFile().SelectGroup(name); }
bool WriteText(std::string_view key, std::string_view value) { return ProgramPreferenceFile().WriteText(key, value); }
bool WriteNumber(std::string_view key, std::int32_t value) { return ProgramPreferenceFile().WriteNumber(key, value); }
std::string ReadText(std::string_view key, std::string_view fallback) {
  return ProgramPreferenceFile().ReadText(key, fallback);
}
std::int32_t ReadNumber(std::string_view key, std::int32_t fallback) {
  return ProgramPreferenceFile().ReadNumber(key, fallback);
}
bool ClosePreferenceFile() { return ProgramPreferenceFile().Close(); }

}  // namespace qx
