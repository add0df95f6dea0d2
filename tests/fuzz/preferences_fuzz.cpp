// Feeds arbitrary bytes to the settings reader. Beyond not crashing, what the reader makes of a
// file must survive being written and read again unchanged, and the engine must answer reads and
// take writes on whatever the reader made of it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/preferences.h"
#include "tests/support/memory_storage.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Written and read again, a list comes back the same. The one exception is in the format itself: a
// code-page file whose first line begins with the bytes of the UTF-8 mark reads as a UTF-8 file.
void CheckRoundTrip(const qx::PreferenceText& text) {
  const std::string rendered = qx::RenderPreferenceText(text);
  if (!text.utf8_mode && rendered.rfind("\xEF\xBB\xBF", 0) == 0) return;
  Check(qx::ParsePreferenceText(rendered) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const qx::PreferenceText text = qx::ParsePreferenceText(bytes);
  CheckRoundTrip(text);

  for (const qx::PreferenceEntry& entry : text.entries) {
    (void)qx::ParsePreferenceNumber(entry.value);  // any value at all must be taken without harm
    std::string back;
    if (qx::Utf8ToLatin1(entry.value, back)) Check(qx::Latin1ToUtf8(back) == entry.value);
  }

  qx::test::MemoryStorage storage(bytes);
  {
    qx::PreferenceFile file(&storage);
    Check(file.Open("fuzz.ini"));
    std::size_t writes = 0;
    for (const qx::PreferenceEntry& entry : text.entries) {
      if (entry.kind == qx::PreferenceEntry::Kind::kGroup) {
        file.SelectGroup(entry.name);
      } else if (entry.kind == qx::PreferenceEntry::Kind::kKey) {
        const std::string value = file.ReadText(entry.name, "");
        (void)file.ReadNumber(entry.name, -1);  // read only to exercise it
        // A written name starts with a letter: one starting with ";", "[" or the UTF-8 mark
        // would be read back as something else, which the program never asks for.
        if (++writes % 3 == 0) Check(file.WriteText("k" + entry.name, value));
      }
    }
    file.SelectGroup("fresh group");
    Check(file.WriteNumber("k", static_cast<std::int32_t>(size)));
    Check(file.ReadNumber("k", -1) == static_cast<std::int32_t>(size));
  }
  // What the engine saved reads back as the list it saved.
  const qx::PreferenceText saved = qx::ParsePreferenceText(storage.file());
  CheckRoundTrip(saved);
  return 0;
}
