// The values of one registry key, kept in the order they were created.
//
// A key such as SharedDlls can hold hundreds of thousands of values that a
// caller walks by index while deleting some of them, so every operation
// here stays logarithmic or better in the number of values:
//  - the values live in a vector of slots in creation order; a deleted value
//    leaves a tombstone;
//  - while tombstones exist, a Fenwick tree over the live flags turns an
//    enumeration index into a slot (rank/select);
//  - an open-addressing index maps a case-folded name to its slot;
//  - once tombstones outnumber live values the slots are compacted, which
//    keeps the order and makes the cost amortised constant per deletion;
//  - the last index asked for is remembered, so that a walk by index costs
//    a step to the next live slot rather than a search of the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zc::sim {

struct RegValue {
  std::wstring name;  // empty for the default value
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;  // exactly the bytes Windows holds
};

class ValueList {
 public:
  ValueList() = default;
  ValueList(const ValueList&) = delete;
  ValueList& operator=(const ValueList&) = delete;
  ValueList(ValueList&&) noexcept = default;
  ValueList& operator=(ValueList&&) noexcept = default;

  std::size_t size() const { return live_; }
  bool empty() const { return live_ == 0; }

  // The value at an enumeration index, or null past the end, and the
  // length of its name in UTF-16 units. The pointer stays valid until the
  // list is next changed.
  const RegValue* At(std::size_t index, std::uint32_t* nameUnits = nullptr) const;
  const RegValue* Find(std::wstring_view name) const;

  // Creates the value at the end, or replaces the type and data of an
  // existing one in its place (the stored name keeps its case). True when
  // the value is new.
  bool Set(std::wstring_view name, std::uint32_t type, std::vector<std::uint8_t> data);
  // False when there is no such value. The values after it move down.
  bool Erase(std::wstring_view name);
  void Clear();

  // As the registry keeps them: the longest name (UTF-16 units) and the
  // largest data ever set, reset only when the last value goes.
  std::uint32_t maxNameLength() const { return maxNameLength_; }
  std::uint32_t maxDataSize() const { return maxDataSize_; }

  // Calls f(const RegValue&) for each value in enumeration order.
  template <typename F>
  void ForEach(F&& f) const {
    for (const auto& slot : slots_) {
      if (slot.live) f(slot.value);
    }
  }

 private:
  struct Slot {
    RegValue value;
    std::uint32_t hash = 0;
    std::uint32_t nameUnits = 0;
    bool live = true;
  };

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::size_t FindIndexPos(std::wstring_view name, std::uint32_t hash) const;
  void IndexInsert(std::uint32_t slot);
  void IndexErase(std::size_t pos);
  void Rehash(std::size_t buckets);

  void BuildRanks(std::size_t capacity);
  void RankAdd(std::size_t slot, bool increment);
  std::size_t SelectSlot(std::size_t index) const;

  void Compact();

  std::vector<Slot> slots_;
  std::size_t live_ = 0;
  std::size_t dead_ = 0;

  std::vector<std::uint32_t> index_;  // slot numbers; power-of-two size

  // Fenwick tree over the live flags of the slots, 1-based; empty while
  // there are no tombstones (then an index is a slot number).
  std::vector<std::uint32_t> ranks_;
  std::size_t rankCapacity_ = 0;

  std::uint32_t maxNameLength_ = 0;
  std::uint32_t maxDataSize_ = 0;

  // The last enumeration index looked up and its slot; forgotten at every
  // change of the list.
  mutable std::size_t cursorIndex_ = kNone;
  mutable std::size_t cursorSlot_ = 0;
};

}  // namespace zc::sim
