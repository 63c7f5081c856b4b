#include "platform/sim/reg_value_list.h"

#include <utility>

#include "platform/text.h"

namespace zc::sim {
namespace {

constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
constexpr std::size_t kMinBuckets = 16;
// Tombstones are left alone below this many, whatever their share.
constexpr std::size_t kMinDeadToCompact = 64;

std::uint32_t HashName(std::wstring_view name) {
  std::uint32_t h = 2166136261u;
  for (wchar_t c : name) {
    h ^= static_cast<std::uint32_t>(UpcaseChar(c));
    h *= 16777619u;
  }
  // Spread the bits: the index uses the low ones.
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

std::size_t LowBit(std::size_t i) { return i & (~i + 1); }

}  // namespace

const RegValue* ValueList::At(std::size_t index, std::uint32_t* nameUnits) const {
  if (index >= live_) return nullptr;
  std::size_t slot = index;
  if (dead_ != 0) {
    if (cursorIndex_ != kNone && index == cursorIndex_ + 1) {
      slot = cursorSlot_ + 1;
      while (!slots_[slot].live) ++slot;
    } else if (index != cursorIndex_) {
      slot = SelectSlot(index);
    } else {
      slot = cursorSlot_;
    }
    cursorIndex_ = index;
    cursorSlot_ = slot;
  }
  if (nameUnits != nullptr) *nameUnits = slots_[slot].nameUnits;
  return &slots_[slot].value;
}

const RegValue* ValueList::Find(std::wstring_view name) const {
  const std::size_t pos = FindIndexPos(name, HashName(name));
  return pos == kNone ? nullptr : &slots_[index_[pos]].value;
}

bool ValueList::Set(std::wstring_view name, std::uint32_t type, std::vector<std::uint8_t> data) {
  cursorIndex_ = kNone;
  const std::uint32_t hash = HashName(name);
  const auto size = static_cast<std::uint32_t>(data.size());
  if (size > maxDataSize_) maxDataSize_ = size;
  const std::size_t pos = FindIndexPos(name, hash);
  if (pos != kNone) {
    RegValue& value = slots_[index_[pos]].value;
    value.type = type;
    value.data = std::move(data);
    return false;
  }
  const auto nameLength = static_cast<std::uint32_t>(Utf16Length(name));
  if (nameLength > maxNameLength_) maxNameLength_ = nameLength;

  const std::size_t slot = slots_.size();
  slots_.push_back(Slot{RegValue{std::wstring(name), type, std::move(data)}, hash, nameLength, true});
  ++live_;
  if (!ranks_.empty()) {
    if (slots_.size() > rankCapacity_) {
      BuildRanks(rankCapacity_ * 2);
    } else {
      RankAdd(slot, true);
    }
  }
  IndexInsert(static_cast<std::uint32_t>(slot));
  return true;
}

bool ValueList::Erase(std::wstring_view name) {
  cursorIndex_ = kNone;
  const std::size_t pos = FindIndexPos(name, HashName(name));
  if (pos == kNone) return false;
  const std::size_t slot = index_[pos];
  IndexErase(pos);
  --live_;
  if (live_ == 0) {
    Clear();
    return true;
  }
  if (slot + 1 == slots_.size() && dead_ == 0) {
    // The last value goes without leaving a tombstone.
    slots_.pop_back();
    return true;
  }
  slots_[slot].live = false;
  slots_[slot].value = RegValue{};
  ++dead_;
  if (ranks_.empty()) {
    std::size_t capacity = kMinBuckets;
    while (capacity < slots_.size()) capacity *= 2;
    BuildRanks(capacity);
  } else {
    RankAdd(slot, false);
  }
  if (dead_ >= kMinDeadToCompact && dead_ > live_) Compact();
  return true;
}

void ValueList::Clear() {
  cursorIndex_ = kNone;
  slots_ = {};
  index_ = {};
  ranks_ = {};
  rankCapacity_ = 0;
  live_ = 0;
  dead_ = 0;
  maxNameLength_ = 0;
  maxDataSize_ = 0;
}

std::size_t ValueList::FindIndexPos(std::wstring_view name, std::uint32_t hash) const {
  if (index_.empty()) return kNone;
  const std::size_t mask = index_.size() - 1;
  for (std::size_t pos = hash & mask;; pos = (pos + 1) & mask) {
    const std::uint32_t slot = index_[pos];
    if (slot == kEmpty) return kNone;
    const Slot& candidate = slots_[slot];
    if (candidate.hash == hash && EqualsNoCase(candidate.value.name, name)) return pos;
  }
}

void ValueList::IndexInsert(std::uint32_t slot) {
  // Keep the load at one half at most.
  if ((live_ + 1) * 2 > index_.size()) Rehash(index_.empty() ? kMinBuckets : index_.size() * 2);
  const std::size_t mask = index_.size() - 1;
  std::size_t pos = slots_[slot].hash & mask;
  while (index_[pos] != kEmpty) pos = (pos + 1) & mask;
  index_[pos] = slot;
}

void ValueList::IndexErase(std::size_t pos) {
  // Backward-shift deletion: move later entries of the probe run into the
  // hole when their home position allows it, so lookups need no markers.
  const std::size_t mask = index_.size() - 1;
  std::size_t hole = pos;
  for (std::size_t i = (pos + 1) & mask;; i = (i + 1) & mask) {
    const std::uint32_t slot = index_[i];
    if (slot == kEmpty) break;
    const std::size_t home = slots_[slot].hash & mask;
    if (((i - home) & mask) >= ((i - hole) & mask)) {
      index_[hole] = slot;
      hole = i;
    }
  }
  index_[hole] = kEmpty;
}

void ValueList::Rehash(std::size_t buckets) {
  index_.assign(buckets, kEmpty);
  const std::size_t mask = buckets - 1;
  for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
    if (!slots_[slot].live) continue;
    std::size_t pos = slots_[slot].hash & mask;
    while (index_[pos] != kEmpty) pos = (pos + 1) & mask;
    index_[pos] = static_cast<std::uint32_t>(slot);
  }
}

void ValueList::BuildRanks(std::size_t capacity) {
  rankCapacity_ = capacity;
  ranks_.assign(capacity + 1, 0);
  for (std::size_t slot = 0; slot < slots_.size(); ++slot) ranks_[slot + 1] = slots_[slot].live ? 1 : 0;
  for (std::size_t i = 1; i <= capacity; ++i) {
    const std::size_t up = i + LowBit(i);
    if (up <= capacity) ranks_[up] += ranks_[i];
  }
}

void ValueList::RankAdd(std::size_t slot, bool increment) {
  for (std::size_t i = slot + 1; i <= rankCapacity_; i += LowBit(i)) {
    if (increment) {
      ++ranks_[i];
    } else {
      --ranks_[i];
    }
  }
}

std::size_t ValueList::SelectSlot(std::size_t index) const {
  // Descend the tree: the slot holding the (index + 1)-th live value.
  std::size_t pos = 0;
  auto remaining = static_cast<std::uint32_t>(index + 1);
  for (std::size_t step = rankCapacity_; step > 0; step >>= 1) {
    const std::size_t next = pos + step;
    if (next <= rankCapacity_ && ranks_[next] < remaining) {
      pos = next;
      remaining -= ranks_[next];
    }
  }
  return pos;
}

void ValueList::Compact() {
  std::vector<Slot> kept;
  kept.reserve(live_);
  for (auto& slot : slots_) {
    if (slot.live) kept.push_back(std::move(slot));
  }
  slots_ = std::move(kept);
  dead_ = 0;
  ranks_ = {};
  rankCapacity_ = 0;
  std::size_t buckets = kMinBuckets;
  while (buckets < live_ * 2) buckets *= 2;
  Rehash(buckets);
}

}  // namespace zc::sim
