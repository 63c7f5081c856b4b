#include "platform/volume/hive_reader.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <unordered_set>

#include "platform/sim/host_file.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace fs = std::filesystem;

namespace zc::volume {

namespace {

constexpr std::size_t kBaseBlockSize = 0x1000;

struct HiveTraits {
  using Value = hive_h*;
  static hive_h* Invalid() { return nullptr; }
  void Close(hive_h* h) const { hivex_close(h); }
};
using UniqueHive = UniqueHandle<HiveTraits>;

// What libhivex hands out with malloc.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter>;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string Quote(const fs::path& file) { return file.string(); }

// A message about the descriptor's path, told with the file's own name.
std::string Rename(std::string message, const fs::path& opened, const fs::path& file) {
  const std::string from = Quote(opened);
  if (message.rfind(from, 0) == 0) message.replace(0, from.size(), Quote(file));
  return message;
}

// The base block tells a truncated file and an unclean shutdown apart
// from other damage, with clearer words than libhivex's error numbers.
std::optional<std::string> CheckBaseBlock(const fs::path& file, HiveReadResult* result) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec) return Quote(file) + ": cannot be read: " + ec.message();
  std::ifstream in(file, std::ios::binary);
  if (!in) return Quote(file) + ": cannot be opened for reading";
  std::array<std::uint8_t, kBaseBlockSize> block{};
  in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got < 4 || std::memcmp(block.data(), "regf", 4) != 0) {
    return Quote(file) + ": not a registry hive (it does not begin with the signature regf)";
  }
  if (size < kBaseBlockSize || got < kBaseBlockSize) {
    return Quote(file) + ": truncated registry hive: " + std::to_string(size) +
           " bytes, shorter than its 4096-byte base block";
  }
  const std::uint64_t binsSize = Le32(block.data() + 0x28);
  if (kBaseBlockSize + binsSize > size) {
    return Quote(file) + ": truncated registry hive: its base block announces " +
           std::to_string(kBaseBlockSize + binsSize) + " bytes, the file holds " + std::to_string(size);
  }
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < 0x1FC; at += 4) sum ^= Le32(block.data() + at);
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFFu) sum = 0xFFFFFFFEu;
  if (sum != Le32(block.data() + 0x1FC)) {
    return Quote(file) + ": corrupted registry hive: the checksum of its base block does not match";
  }
  result->dirty = Le32(block.data() + 0x04) != Le32(block.data() + 0x08);
  return std::nullopt;
}

std::string Describe(int error) {
  switch (error) {
    case ENOTSUP: return "corrupt or in a format libhivex does not read";
    case EFAULT: return "a reference points outside the hive";
    case ELOOP: return "its keys form a loop";
    case ERANGE: return "a field is out of range";
    case HIVEX_NO_KEY: return "it has no root key";
    default: return std::strerror(error);
  }
}

class Reader {
 public:
  Reader(const fs::path& file, hive_h* h, HiveReadResult* result) : file_(file), h_(h), result_(result) {}

  std::optional<std::string> Copy(sim::RegKey& into) {
    into_ = &into;
    top_ = ToUtf8(into.parent() ? into.PathFromRoot() : into.name());
    const hive_node_h root = hivex_root(h_);
    if (root == 0) return Fail("it has no root key", errno);
    seen_.insert(root);
    std::vector<std::pair<hive_node_h, sim::RegKey*>> pending{{root, &into}};
    while (!pending.empty()) {
      const auto [node, key] = pending.back();
      pending.pop_back();
      ++result_->keys;
      if (auto error = CopyValues(node, *key)) return error;
      if (auto error = CopySubKeys(node, *key, &pending)) return error;
    }
    return std::nullopt;
  }

 private:
  // The key's path, starting with the name of the key the hive is read into.
  std::string Where(const sim::RegKey& key) const {
    std::wstring path;
    for (const sim::RegKey* k = &key; k != nullptr && k != into_; k = k->parent()) path = L"\\" + k->name() + path;
    return top_ + ToUtf8(path);
  }

  std::string Fail(const std::string& what, int error = 0) const {
    std::string message = Quote(file_) + ": corrupted registry hive: " + what;
    if (error != 0) message += " (" + Describe(error) + ")";
    return message;
  }

  std::optional<std::string> CopyValues(hive_node_h node, sim::RegKey& key) {
    errno = 0;
    Owned<hive_value_h> values(hivex_node_values(h_, node));
    if (!values) return Fail("the values of " + Where(key) + " cannot be read", errno);
    for (const hive_value_h* v = values.get(); *v != 0; ++v) {
      errno = 0;
      const std::size_t nameLength = hivex_value_key_len(h_, *v);
      Owned<char> rawName(hivex_value_key(h_, *v));
      if (!rawName) return Fail("a value name of " + Where(key) + " cannot be read", errno);
      const std::wstring name = FromUtf8(std::string_view(rawName.get(), nameLength));
      if (Utf16Length(name) > sim::kMaxValueNameLength) {
        return Fail("a value name of " + Where(key) + " is longer than the registry allows");
      }
      if (key.FindValue(name) != nullptr) {
        return Fail(Where(key) + " holds two values named \"" + ToUtf8(name) + "\"");
      }
      // Any 32-bit number is a type (real hives hold types far beyond the
      // documented ones) and libhivex stores it as it is: it is received in
      // an integer, never read as libhivex's enum, whose range is 0-15.
      std::uint32_t type = 0;
      static_assert(sizeof(hive_type) == sizeof(type));
      std::size_t length = 0;
      errno = 0;
      Owned<char> data(hivex_value_value(h_, *v, reinterpret_cast<hive_type*>(&type), &length));
      if (!data && length != 0) {
        return Fail("the value \"" + ToUtf8(name) + "\" of " + Where(key) + " cannot be read", errno);
      }
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.get());
      key.SetValue(name, type, bytes ? std::vector<std::uint8_t>(bytes, bytes + length) : std::vector<std::uint8_t>());
      ++result_->values;
    }
    return std::nullopt;
  }

  std::optional<std::string> CopySubKeys(hive_node_h node, sim::RegKey& key,
                                         std::vector<std::pair<hive_node_h, sim::RegKey*>>* pending) {
    errno = 0;
    Owned<hive_node_h> children(hivex_node_children(h_, node));
    if (!children) return Fail("the sub-keys of " + Where(key) + " cannot be read", errno);
    for (const hive_node_h* c = children.get(); *c != 0; ++c) {
      if (!seen_.insert(*c).second) return Fail("a sub-key of " + Where(key) + " is reached twice");
      errno = 0;
      const std::size_t nameLength = hivex_node_name_len(h_, *c);
      Owned<char> rawName(hivex_node_name(h_, *c));
      if (!rawName) return Fail("a sub-key name of " + Where(key) + " cannot be read", errno);
      const std::wstring name = FromUtf8(std::string_view(rawName.get(), nameLength));
      if (!sim::IsValidKeyName(name)) {
        return Fail(Where(key) + " has a sub-key whose name the registry cannot hold");
      }
      if (key.FindSubKey(name) != nullptr) {
        return Fail(Where(key) + " has two sub-keys named \"" + ToUtf8(name) + "\"");
      }
      sim::RegKey* sub = key.CreateSubKey(name);
      if (sub == nullptr) return Fail("keys are nested deeper than the registry allows under " + Where(key));
      pending->emplace_back(*c, sub);
    }
    return std::nullopt;
  }

  const fs::path& file_;
  hive_h* h_;
  HiveReadResult* result_;
  const sim::RegKey* into_ = nullptr;
  std::string top_;
  std::unordered_set<hive_node_h> seen_;
};

}  // namespace

std::optional<std::string> ReadHive(const fs::path& file, sim::RegKey& into, HiveReadResult* result) {
  HiveReadResult local;
  HiveReadResult* out = result ? result : &local;
  *out = HiveReadResult{};
  // Opened once, without waiting on a FIFO or a device, and read through
  // that descriptor alone: what is checked is what libhivex reads, even if
  // the name is replaced meanwhile.
  const sim::UniqueHostFd fd(sim::HostFdTraits{}, ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!fd) return Quote(file) + ": cannot be read: " + Describe(errno);
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Quote(file) + ": cannot be read: not a regular file";
  const fs::path opened = "/proc/self/fd/" + std::to_string(fd.get());
  if (auto error = CheckBaseBlock(opened, out)) return Rename(*error, opened, file);

  errno = 0;
  UniqueHive hive(HiveTraits{}, hivex_open(opened.c_str(), 0));  // no HIVEX_OPEN_WRITE: read-only
  if (!hive) {
    const int error = errno;
    return Quote(file) + ": not a readable registry hive: " + Describe(error);
  }
  return Reader(file, hive.get(), out).Copy(into);
}

}  // namespace zc::volume
