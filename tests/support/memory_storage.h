#pragma once
// A settings file held in memory for the fuzzers: every step of a save succeeds at once, so a run
// costs no disk and no flush.

#include <string>
#include <string_view>

#include "runtime/preference_storage.h"

namespace qx::test {

class MemoryStorage : public PreferenceStorage {
 public:
  explicit MemoryStorage(std::string_view bytes) : file_(bytes) {}
  bool Hold(const std::string&, Access) override { return true; }
  bool ReadHeld(std::string& bytes) override {
    bytes = file_;
    return true;
  }
  void Release() override {}
  bool CreateTemporary() override {
    temporary_.clear();
    return true;
  }
  bool WriteTemporary(std::string_view bytes) override {
    temporary_.append(bytes);
    return true;
  }
  bool FlushTemporary() override { return true; }
  bool ReplaceWithTemporary() override {
    file_ = temporary_;
    return true;
  }
  void DiscardTemporary() override {}
  const std::string& file() const { return file_; }

 private:
  std::string file_;
  std::string temporary_;
};

}  // namespace qx::test
