#pragma once
// The numbered-object registry shared by every family of objects (windows, widgets, fonts, menus,
// tray icons, status bars). A number >= 0 names a slot in a table that grows on demand; -1 asks
// for an anonymous object, which gets a handle below -1 that names it from then on.
//
// Destroying an object may send messages that reach the layer again and erase other objects of
// the same family (a window's destruction takes its controls with it), so an object is always
// taken out of its slot before it is destroyed, and iteration works on a copy of the references.

#include <map>
#include <memory>
#include <vector>

namespace qx {

inline constexpr int kAnonymousNumber = -1;

template <typename Record>
class Registry {
 public:
  Record* Find(int ref) const {
    if (ref >= 0) {
      if (static_cast<size_t>(ref) < numbered_.size()) return numbered_[static_cast<size_t>(ref)].get();
      return nullptr;
    }
    auto it = anonymous_.find(ref);
    return it == anonymous_.end() ? nullptr : it->second.get();
  }

  // The reference the next Store(kAnonymousNumber, ...) will use.
  int NextAnonymousRef() const { return next_anonymous_; }

  // Stores the record under `number` (or a fresh anonymous handle for -1) and returns its
  // reference; an object already there is destroyed first. Numbers below -1 name no slot.
  int Store(int number, std::unique_ptr<Record> record) {
    if (number == kAnonymousNumber) {
      const int ref = next_anonymous_--;
      anonymous_[ref] = std::move(record);
      return ref;
    }
    if (number < 0) return kAnonymousNumber;
    std::unique_ptr<Record> old = Take(number);
    old.reset();
    if (static_cast<size_t>(number) >= numbered_.size()) numbered_.resize(static_cast<size_t>(number) + 1);
    numbered_[static_cast<size_t>(number)] = std::move(record);
    return number;
  }

  // Removes the record from its slot without destroying it.
  std::unique_ptr<Record> Take(int ref) {
    if (ref >= 0) {
      if (static_cast<size_t>(ref) >= numbered_.size()) return nullptr;
      return std::move(numbered_[static_cast<size_t>(ref)]);
    }
    auto it = anonymous_.find(ref);
    if (it == anonymous_.end()) return nullptr;
    std::unique_ptr<Record> record = std::move(it->second);
    anonymous_.erase(it);
    return record;
  }

  void Erase(int ref) { Take(ref).reset(); }

  // Numbered objects in increasing order, then anonymous ones in creation order.
  std::vector<int> References() const {
    std::vector<int> refs;
    for (size_t i = 0; i < numbered_.size(); ++i)
      if (numbered_[i]) refs.push_back(static_cast<int>(i));
    for (auto it = anonymous_.rbegin(); it != anonymous_.rend(); ++it) refs.push_back(it->first);
    return refs;
  }

  // Destroys every object in iteration order.
  void Clear() {
    for (int ref : References()) Erase(ref);
  }

 private:
  std::vector<std::unique_ptr<Record>> numbered_;
  std::map<int, std::unique_ptr<Record>> anonymous_;
  int next_anonymous_ = -2;
};

}  // namespace qx
