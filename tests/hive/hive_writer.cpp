#include "hive/hive_writer.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::test {

namespace {

constexpr std::size_t kBaseBlockSize = 0x1000;
constexpr std::size_t kBinHeaderSize = 0x20;
constexpr std::size_t kPage = 0x1000;
constexpr std::uint32_t kNoCell = 0xFFFFFFFFu;
// Data longer than this goes into a "db" record of segments this long.
constexpr std::size_t kMaxDataCell = 16344;
// Entries of one "lh" list before an "ri" index root takes over.
constexpr std::size_t kMaxListEntries = 1000;
// 2013-04-12 09:30:15 UTC as a FILETIME: hives made here are the same bytes every time.
constexpr std::uint64_t kTimestamp = 130102326150000000ull;

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v) {
  for (std::size_t i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::size_t Align(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// A self-relative security descriptor: owner Administrators, group SYSTEM,
// a DACL giving both full access to the key and what is created under it.
std::vector<std::uint8_t> SecurityDescriptor() {
  const std::vector<std::uint8_t> admins{1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0};
  const std::vector<std::uint8_t> system{1, 1, 0, 0, 0, 0, 0, 5, 0x12, 0, 0, 0};
  std::vector<std::uint8_t> dacl(8);
  for (const auto* sid : {&admins, &system}) {
    const std::size_t at = dacl.size();
    dacl.resize(at + 8 + sid->size());
    dacl[at] = 0;      // ACCESS_ALLOWED_ACE_TYPE
    dacl[at + 1] = 2;  // CONTAINER_INHERIT_ACE
    Put16(dacl, at + 2, static_cast<std::uint16_t>(8 + sid->size()));
    Put32(dacl, at + 4, 0x000F003F);  // KEY_ALL_ACCESS
    std::memcpy(dacl.data() + at + 8, sid->data(), sid->size());
  }
  dacl[0] = 2;  // ACL_REVISION
  Put16(dacl, 2, static_cast<std::uint16_t>(dacl.size()));
  Put16(dacl, 4, 2);

  std::vector<std::uint8_t> sd(20);
  sd[0] = 1;             // revision
  Put16(sd, 2, 0x8004);  // SE_SELF_RELATIVE | SE_DACL_PRESENT
  Put32(sd, 4, static_cast<std::uint32_t>(sd.size()));
  sd.insert(sd.end(), admins.begin(), admins.end());
  Put32(sd, 8, static_cast<std::uint32_t>(sd.size()));
  sd.insert(sd.end(), system.begin(), system.end());
  Put32(sd, 16, static_cast<std::uint32_t>(sd.size()));
  sd.insert(sd.end(), dacl.begin(), dacl.end());
  return sd;
}

// A name as a cell stores it: 8-bit when every character fits in a byte
// (Windows' "compressed" names), UTF-16LE otherwise.
struct StoredName {
  std::vector<std::uint8_t> bytes;
  bool compressed = false;
};
StoredName Store(std::wstring_view name, bool utf16Only) {
  StoredName stored;
  stored.compressed = !utf16Only && std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x100; });
  if (stored.compressed) {
    for (wchar_t c : name) stored.bytes.push_back(static_cast<std::uint8_t>(c));
  } else {
    stored.bytes = ToUtf16Le(name);
  }
  return stored;
}

// The hash an "lh" list keeps of each name: of its upper-cased UTF-16 units.
std::uint32_t NameHash(std::wstring_view name) {
  std::uint32_t hash = 0;
  const std::vector<std::uint8_t> units = ToUtf16Le(name);
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    const auto unit = static_cast<wchar_t>(units[i] | units[i + 1] << 8);
    hash = hash * 37 + static_cast<std::uint32_t>(UpcaseChar(unit));
  }
  return hash;
}

class Writer {
 public:
  explicit Writer(const HiveOptions& options) : options_(options), bytes_(kBaseBlockSize, 0) {}

  std::vector<std::uint8_t> Write(const sim::RegKey& root) {
    const std::vector<std::uint8_t> sd = SecurityDescriptor();
    const std::uint32_t rootCell = WriteKey(root, kNoCell, true);
    // The one security cell, linked to itself, used by every key.
    const std::size_t sk = Allocate(0x14 + sd.size());
    std::memcpy(bytes_.data() + sk, "sk", 2);
    Put32(bytes_, sk + 0x04, Offset(sk));
    Put32(bytes_, sk + 0x08, Offset(sk));
    Put32(bytes_, sk + 0x0C, keys_);
    Put32(bytes_, sk + 0x10, static_cast<std::uint32_t>(sd.size()));
    std::copy(sd.begin(), sd.end(), bytes_.begin() + sk + 0x14);
    for (std::size_t nk : nodes_) Put32(bytes_, nk + 0x2C, Offset(sk));
    CloseBin();

    std::memcpy(bytes_.data(), "regf", 4);
    Put32(bytes_, 0x04, options_.dirty ? 2 : 1);  // primary and secondary sequence numbers
    Put32(bytes_, 0x08, 1);
    Put64(bytes_, 0x0C, kTimestamp);
    Put32(bytes_, 0x14, 1);  // format 1.5
    Put32(bytes_, 0x18, 5);
    Put32(bytes_, 0x1C, 0);  // primary file
    Put32(bytes_, 0x20, 1);  // direct memory load
    Put32(bytes_, 0x24, rootCell);
    Put32(bytes_, 0x28, static_cast<std::uint32_t>(bytes_.size() - kBaseBlockSize));
    Put32(bytes_, 0x2C, 1);  // clustering factor
    FixBaseBlockChecksum(bytes_);
    return std::move(bytes_);
  }

 private:
  // A cell's offset as cells refer to each other: from the first bin.
  static std::uint32_t Offset(std::size_t at) { return static_cast<std::uint32_t>(at - 4 - kBaseBlockSize); }

  // Room for a cell of `size` bytes (without its size field), zeroed;
  // returns where its contents start.
  std::size_t Allocate(std::size_t size) {
    const std::size_t cell = Align(size + 4, 8);
    if (binEnd_ == 0 || used_ + cell > binEnd_) {
      CloseBin();
      const std::size_t binSize = Align(cell + kBinHeaderSize, kPage);
      const std::size_t bin = bytes_.size();
      bytes_.resize(bin + binSize, 0);
      std::memcpy(bytes_.data() + bin, "hbin", 4);
      Put32(bytes_, bin + 0x04, static_cast<std::uint32_t>(bin - kBaseBlockSize));
      Put32(bytes_, bin + 0x08, static_cast<std::uint32_t>(binSize));
      Put64(bytes_, bin + 0x14, kTimestamp);
      used_ = bin + kBinHeaderSize;
      binEnd_ = bin + binSize;
    }
    const std::size_t at = used_;
    Put32(bytes_, at, static_cast<std::uint32_t>(-static_cast<std::int32_t>(cell)));  // allocated: negative
    used_ += cell;
    return at + 4;
  }

  // What is left of the current bin becomes one free cell.
  void CloseBin() {
    if (binEnd_ != 0 && used_ < binEnd_) Put32(bytes_, used_, static_cast<std::uint32_t>(binEnd_ - used_));
    used_ = binEnd_;
  }

  std::uint32_t WriteData(const std::vector<std::uint8_t>& data) {
    if (data.size() <= kMaxDataCell) {
      const std::size_t at = Allocate(data.size());
      std::copy(data.begin(), data.end(), bytes_.begin() + at);
      return Offset(at);
    }
    std::vector<std::uint32_t> segments;
    for (std::size_t from = 0; from < data.size(); from += kMaxDataCell) {
      const std::size_t length = std::min(kMaxDataCell, data.size() - from);
      const std::size_t at = Allocate(length);
      std::copy_n(data.begin() + from, length, bytes_.begin() + at);
      segments.push_back(Offset(at));
    }
    const std::size_t list = Allocate(4 * segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i) Put32(bytes_, list + 4 * i, segments[i]);
    const std::size_t db = Allocate(8);
    std::memcpy(bytes_.data() + db, "db", 2);
    Put16(bytes_, db + 2, static_cast<std::uint16_t>(segments.size()));
    Put32(bytes_, db + 4, Offset(list));
    return Offset(db);
  }

  std::uint32_t WriteValue(const sim::RegValue& value) {
    const StoredName name = Store(value.name, false);
    const auto size = static_cast<std::uint32_t>(value.data.size());
    std::uint32_t dataField = 0;
    std::uint32_t sizeField = size;
    if (size <= 4) {
      // Up to four bytes live in the offset field itself.
      for (std::size_t i = 0; i < value.data.size(); ++i)
        dataField |= static_cast<std::uint32_t>(value.data[i]) << (8 * i);
      sizeField |= 0x80000000u;
    } else {
      dataField = WriteData(value.data);
    }
    const std::size_t vk = Allocate(0x14 + name.bytes.size());
    std::memcpy(bytes_.data() + vk, "vk", 2);
    Put16(bytes_, vk + 0x02, static_cast<std::uint16_t>(name.bytes.size()));
    Put32(bytes_, vk + 0x04, sizeField);
    Put32(bytes_, vk + 0x08, dataField);
    Put32(bytes_, vk + 0x0C, value.type);
    Put16(bytes_, vk + 0x10, name.compressed ? 1 : 0);
    std::copy(name.bytes.begin(), name.bytes.end(), bytes_.begin() + vk + 0x14);
    return Offset(vk);
  }

  std::uint32_t WriteList(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries, std::size_t from,
                          std::size_t count) {
    const std::size_t lh = Allocate(4 + 8 * count);
    std::memcpy(bytes_.data() + lh, "lh", 2);
    Put16(bytes_, lh + 2, static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      Put32(bytes_, lh + 4 + 8 * i, entries[from + i].first);
      Put32(bytes_, lh + 8 + 8 * i, entries[from + i].second);
    }
    return Offset(lh);
  }

  std::uint32_t WriteKey(const sim::RegKey& key, std::uint32_t parent, bool isRoot) {
    const StoredName name = isRoot ? Store(Widen(options_.rootName), false) : Store(key.name(), options_.utf16Names);
    const std::size_t nk = Allocate(0x4C + name.bytes.size());
    nodes_.push_back(nk);
    ++keys_;
    std::memcpy(bytes_.data() + nk, "nk", 2);
    std::uint16_t flags = name.compressed ? 0x0020 : 0;
    if (isRoot) flags |= 0x000C;  // hive entry, no delete
    Put16(bytes_, nk + 0x02, flags);
    Put64(bytes_, nk + 0x04, kTimestamp);
    Put32(bytes_, nk + 0x10, parent);
    Put32(bytes_, nk + 0x1C, kNoCell);
    Put32(bytes_, nk + 0x20, kNoCell);
    Put32(bytes_, nk + 0x28, kNoCell);
    Put32(bytes_, nk + 0x30, kNoCell);
    Put16(bytes_, nk + 0x48, static_cast<std::uint16_t>(name.bytes.size()));
    std::copy(name.bytes.begin(), name.bytes.end(), bytes_.begin() + nk + 0x4C);
    const std::uint32_t self = Offset(nk);

    // Values, in their order, and their list.
    std::vector<std::uint32_t> values;
    std::uint32_t maxValueName = 0, maxValueData = 0;
    key.values().ForEach([&](const sim::RegValue& value) {
      values.push_back(WriteValue(value));
      maxValueName = std::max(maxValueName, static_cast<std::uint32_t>(2 * Utf16Length(value.name)));
      maxValueData = std::max(maxValueData, static_cast<std::uint32_t>(value.data.size()));
    });
    if (!values.empty()) {
      const std::size_t list = Allocate(4 * values.size());
      for (std::size_t i = 0; i < values.size(); ++i) Put32(bytes_, list + 4 * i, values[i]);
      Put32(bytes_, nk + 0x24, static_cast<std::uint32_t>(values.size()));
      Put32(bytes_, nk + 0x28, Offset(list));
    }

    // Sub-keys (the store keeps them in case-insensitive order, as the
    // lists must be), then their list: one "lh", or an "ri" of several.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> children;
    std::uint32_t maxSubKeyName = 0;
    for (std::size_t i = 0; i < key.SubKeyCount(); ++i) {
      const sim::RegKey* sub = key.SubKeyAt(i);
      children.emplace_back(WriteKey(*sub, self, false), NameHash(sub->name()));
      maxSubKeyName = std::max(maxSubKeyName, static_cast<std::uint32_t>(2 * Utf16Length(sub->name())));
    }
    if (!children.empty()) {
      std::uint32_t list = 0;
      if (children.size() <= kMaxListEntries) {
        list = WriteList(children, 0, children.size());
      } else {
        std::vector<std::uint32_t> parts;
        for (std::size_t from = 0; from < children.size(); from += kMaxListEntries) {
          parts.push_back(WriteList(children, from, std::min(kMaxListEntries, children.size() - from)));
        }
        const std::size_t ri = Allocate(4 + 4 * parts.size());
        std::memcpy(bytes_.data() + ri, "ri", 2);
        Put16(bytes_, ri + 2, static_cast<std::uint16_t>(parts.size()));
        for (std::size_t i = 0; i < parts.size(); ++i) Put32(bytes_, ri + 4 + 4 * i, parts[i]);
        list = Offset(ri);
      }
      Put32(bytes_, nk + 0x14, static_cast<std::uint32_t>(children.size()));
      Put32(bytes_, nk + 0x1C, list);
    }
    Put32(bytes_, nk + 0x34, maxSubKeyName);
    Put32(bytes_, nk + 0x3C, maxValueName);
    Put32(bytes_, nk + 0x40, maxValueData);
    return self;
  }

  HiveOptions options_;
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 0;    // where the next cell goes
  std::size_t binEnd_ = 0;  // end of the current bin; 0 before the first
  std::vector<std::size_t> nodes_;
  std::uint32_t keys_ = 0;
};

}  // namespace

void FixBaseBlockChecksum(std::vector<std::uint8_t>& hive) {
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < 0x1FC; at += 4) {
    sum ^= static_cast<std::uint32_t>(hive[at]) | static_cast<std::uint32_t>(hive[at + 1]) << 8 |
           static_cast<std::uint32_t>(hive[at + 2]) << 16 | static_cast<std::uint32_t>(hive[at + 3]) << 24;
  }
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFFu) sum = 0xFFFFFFFEu;
  Put32(hive, 0x1FC, sum);
}

std::vector<std::uint8_t> HiveBytes(const sim::RegKey& key, const HiveOptions& options) {
  return Writer(options).Write(key);
}

std::vector<std::uint8_t> EmptyHiveBytes(const HiveOptions& options) {
  const sim::RegKey empty(L"", nullptr);
  return HiveBytes(empty, options);
}

void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error(file.string() + ": cannot be written");
}

}  // namespace zc::test
