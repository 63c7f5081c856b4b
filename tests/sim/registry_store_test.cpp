#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/sim/reg_store.h"
#include "platform/sim/reg_value_list.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> out;
  for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

std::vector<std::wstring> Names(const ValueList& values) {
  std::vector<std::wstring> names;
  for (std::size_t i = 0; i < values.size(); ++i) names.push_back(values.At(i)->name);
  return names;
}

TEST(RegValueList, KeepsCreationOrderAndPlaceOnReset) {
  ValueList values;
  EXPECT_TRUE(values.Set(L"Zeta", 1, Bytes({1})));
  EXPECT_TRUE(values.Set(L"alpha", 4, Bytes({1, 0, 0, 0})));
  EXPECT_TRUE(values.Set(L"", 1, Bytes({0, 0})));
  // Re-set under another case: same value, same place, first spelling kept.
  EXPECT_FALSE(values.Set(L"ZETA", 3, Bytes({9, 9})));
  EXPECT_EQ(Names(values), (std::vector<std::wstring>{L"Zeta", L"alpha", L""}));
  EXPECT_EQ(values.At(0)->type, 3u);
  EXPECT_EQ(values.At(0)->data, Bytes({9, 9}));
  EXPECT_EQ(values.Find(L"ALPHA")->name, L"alpha");
  EXPECT_EQ(values.At(3), nullptr);
}

TEST(RegValueList, DeletionMovesLaterValuesDown) {
  ValueList values;
  for (int i = 0; i < 10; ++i) values.Set(L"v" + std::to_wstring(i), 4, Bytes({i, 0, 0, 0}));
  EXPECT_TRUE(values.Erase(L"V3"));
  EXPECT_FALSE(values.Erase(L"v3"));
  EXPECT_TRUE(values.Erase(L"v0"));
  EXPECT_EQ(values.size(), 8u);
  EXPECT_EQ(values.At(0)->name, L"v1");
  EXPECT_EQ(values.At(2)->name, L"v4");
  EXPECT_EQ(values.At(7)->name, L"v9");
  EXPECT_EQ(values.At(8), nullptr);
  // A value created after deletions goes to the end.
  values.Set(L"v3", 1, {});
  EXPECT_EQ(values.At(8)->name, L"v3");
}

TEST(RegValueList, MaximaGrowAndResetOnlyWhenEmpty) {
  ValueList values;
  values.Set(L"longer-name", 3, std::vector<std::uint8_t>(100));
  values.Set(L"a", 3, std::vector<std::uint8_t>(4));
  values.Erase(L"longer-name");
  // As the registry does: deleting a value does not shrink the maxima...
  EXPECT_EQ(values.maxNameLength(), 11u);
  EXPECT_EQ(values.maxDataSize(), 100u);
  // ...until the key has no values left.
  values.Erase(L"a");
  EXPECT_EQ(values.maxNameLength(), 0u);
  EXPECT_EQ(values.maxDataSize(), 0u);
}

// Random sets, re-sets and deletions against a plain vector, across enough
// values for tombstones, the rank tree, compaction and rehashing to happen.
TEST(RegValueList, MatchesReferenceModelUnderRandomOperations) {
  std::mt19937 random(12345);
  ValueList values;
  std::vector<std::pair<std::wstring, std::uint32_t>> model;  // lower-cased name, type
  auto find = [&model](const std::wstring& name) {
    const std::wstring lower = ToLowerAscii(name);
    return std::find_if(model.begin(), model.end(), [&lower](const auto& entry) { return entry.first == lower; });
  };
  for (int step = 0; step < 40000; ++step) {
    const int op = static_cast<int>(random() % 10);
    std::wstring name = L"Name" + std::to_wstring(random() % 2000);
    if (random() % 2) name = ToLowerAscii(name);
    if (op < 6) {
      const auto type = static_cast<std::uint32_t>(random() % 12);
      const bool added = values.Set(name, type, Bytes({static_cast<int>(type)}));
      auto it = find(name);
      ASSERT_EQ(added, it == model.end());
      if (it == model.end()) {
        model.emplace_back(ToLowerAscii(name), type);
      } else {
        it->second = type;
      }
    } else if (op < 9) {
      auto it = find(name);
      ASSERT_EQ(values.Erase(name), it != model.end());
      if (it != model.end()) model.erase(it);
    } else if (!model.empty()) {
      // A few values read in a row, the first twice: as a walk by index reads them.
      const std::size_t first = random() % model.size();
      for (std::size_t index : {first, first, first + 1, first + 2, first + 3}) {
        if (index >= model.size()) break;
        const RegValue* value = values.At(index);
        ASSERT_NE(value, nullptr);
        ASSERT_TRUE(EqualsNoCase(value->name, model[index].first));
        ASSERT_EQ(value->type, model[index].second);
      }
    }
    ASSERT_EQ(values.size(), model.size());
  }
  ASSERT_EQ(values.size(), model.size());
  for (std::size_t i = 0; i < model.size(); ++i) {
    ASSERT_TRUE(EqualsNoCase(values.At(i)->name, model[i].first)) << i;
    ASSERT_NE(values.Find(model[i].first), nullptr);
  }
  std::size_t visited = 0;
  values.ForEach([&](const RegValue& value) { EXPECT_TRUE(EqualsNoCase(value.name, model[visited++].first)); });
  EXPECT_EQ(visited, model.size());
}

// The walk RegEnumValue callers make: read by index, delete what matches
// and read the same index again, as the values after it move down.
TEST(RegValueList, AWalkThatDeletesAsItGoesSeesEveryValueOnce) {
  ValueList values;
  for (int i = 0; i < 3000; ++i) values.Set(L"V" + std::to_wstring(i), 4, Bytes({i % 256}));
  ASSERT_TRUE(values.Erase(L"V5"));  // a tombstone before the walk starts
  std::vector<std::wstring> seen;
  std::size_t count = values.size();
  for (std::size_t index = 0; index < count; ++index) {
    const RegValue* value = values.At(index);
    ASSERT_NE(value, nullptr) << index;
    seen.push_back(value->name);
    if (std::stoi(value->name.substr(1)) % 3 == 0) {
      ASSERT_TRUE(values.Erase(value->name));
      --index;
      --count;
    }
  }
  ASSERT_EQ(seen.size(), 2999u);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    const int expected = static_cast<int>(i < 5 ? i : i + 1);
    ASSERT_EQ(seen[i], L"V" + std::to_wstring(expected)) << i;
  }
  EXPECT_EQ(values.size(), 2999u - 1000u);
  EXPECT_EQ(values.At(values.size()), nullptr);
}

TEST(RegValueList, NamesAreMeasuredInUtf16Units) {
  ValueList values;
  values.Set(L"plain", 1, {});
  values.Set(std::wstring(L"clef ") + static_cast<wchar_t>(0x1D11E), 1, {});
  std::uint32_t units = 0;
  ASSERT_NE(values.At(0, &units), nullptr);
  EXPECT_EQ(units, 5u);
  ASSERT_NE(values.At(1, &units), nullptr);
  EXPECT_EQ(units, 7u);
  EXPECT_EQ(values.maxNameLength(), 7u);
}

TEST(RegKey, SubKeysSortWithoutCaseAndKeepTheirSpelling) {
  RegStore store;
  RegKey& root = store.Root(Hive::kLocalMachine);
  for (const wchar_t* name : {L"software", L"Beta", L"alpha", L"_under", L"Zed", L"SAM"}) {
    ASSERT_NE(root.CreateSubKey(name), nullptr);
  }
  EXPECT_EQ(root.CreateSubKey(L"SOFTWARE"), root.FindSubKey(L"software"));
  std::vector<std::wstring> order;
  for (std::size_t i = 0; i < root.SubKeyCount(); ++i) order.push_back(root.SubKeyAt(i)->name());
  // Upper-case comparison puts '_' (0x5F) after the letters.
  EXPECT_EQ(order, (std::vector<std::wstring>{L"alpha", L"Beta", L"SAM", L"software", L"Zed", L"_under"}));
  EXPECT_EQ(root.maxSubKeyNameLength(), 8u);
}

TEST(RegKey, RefusesNamesAndDepthsTheRegistryCannotHold) {
  RegStore store;
  RegKey& root = store.Root(Hive::kCurrentUser);
  EXPECT_EQ(root.CreateSubKey(L""), nullptr);
  EXPECT_EQ(root.CreateSubKey(L"a\\b"), nullptr);
  EXPECT_EQ(root.CreateSubKey(L"line\nbreak"), nullptr);
  EXPECT_EQ(root.CreateSubKey(std::wstring(256, L'k')), nullptr);
  EXPECT_NE(root.CreateSubKey(std::wstring(255, L'k')), nullptr);
  std::vector<std::wstring> deep(kMaxKeyDepth, L"d");
  EXPECT_NE(store.CreateKey(Hive::kCurrentUser, deep), nullptr);
  deep.push_back(L"d");
  EXPECT_EQ(store.CreateKey(Hive::kCurrentUser, deep), nullptr);
}

TEST(RegKey, DeletedTreeIsMarkedForWhoeverStillHoldsIt) {
  RegStore store;
  RegKey* leaf = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor\\Product\\Leaf");
  ASSERT_NE(leaf, nullptr);
  std::shared_ptr<RegKey> held = leaf->shared_from_this();
  leaf->SetString(L"Path", L"C:\\x");
  EXPECT_TRUE(store.DeleteKey(Hive::kLocalMachine, L"software\\VENDOR"));
  EXPECT_TRUE(held->deleted());
  EXPECT_EQ(held->GetString(L"Path"), L"C:\\x");  // still readable memory, not a dangling key
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor"), nullptr);
  EXPECT_FALSE(store.DeleteKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor"));
  EXPECT_FALSE(store.FindKey(Hive::kLocalMachine, L"SOFTWARE")->deleted());

  // Replacing a store's contents retires the old keys the same way.
  RegKey* kept = store.CreateKey(Hive::kUsers, L".DEFAULT");
  std::shared_ptr<RegKey> old = kept->shared_from_this();
  store = RegStore();
  EXPECT_TRUE(old->deleted());
  EXPECT_EQ(store.FindKey(Hive::kUsers, L".DEFAULT"), nullptr);
}

TEST(RegKey, StringAndDwordHelpers) {
  RegStore store;
  RegKey* key = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\T");
  key->SetString(L"s", L"ab");
  EXPECT_EQ(key->FindValue(L"s")->data, Bytes({'a', 0, 'b', 0, 0, 0}));
  key->SetValue(L"multi", 7, Bytes({'x', 0, 0, 0, 'y', 0, 0, 0, 0, 0}));
  EXPECT_EQ(key->GetString(L"multi"), L"x");
  key->SetValue(L"unterminated", 1, Bytes({'h', 0, 'i', 0}));
  EXPECT_EQ(key->GetString(L"unterminated"), L"hi");
  key->SetDword(L"n", 0x01020304);
  EXPECT_EQ(key->FindValue(L"n")->data, Bytes({4, 3, 2, 1}));
  EXPECT_EQ(key->GetDword(L"N"), 0x01020304u);
  EXPECT_EQ(key->GetDword(L"s"), std::nullopt);
  EXPECT_EQ(key->GetString(L"missing"), std::nullopt);
}

TEST(RegPaths, RootNamesAndSplitting) {
  auto classes = ResolveRootName(L"hkcr");
  ASSERT_TRUE(classes);
  EXPECT_EQ(classes->hive, Hive::kLocalMachine);
  EXPECT_EQ(classes->names, ClassesRootNames());
  auto config = ResolveRootName(L"HKEY_CURRENT_CONFIG");
  ASSERT_TRUE(config);
  EXPECT_EQ(config->names, CurrentConfigNames());
  EXPECT_EQ(ResolveRootName(L"HKU")->hive, Hive::kUsers);
  EXPECT_EQ(ResolveRootName(L"HKEY_CURRENT_USER")->hive, Hive::kCurrentUser);
  EXPECT_FALSE(ResolveRootName(L"HKEY_PERFORMANCE_DATA"));

  std::vector<std::wstring> names;
  EXPECT_TRUE(SplitKeyPath(L"A\\B\\", &names));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"A", L"B"}));
  EXPECT_FALSE(SplitKeyPath(L"A\\\\B", &names));
  EXPECT_FALSE(SplitKeyPath(L"\\A", &names));
  EXPECT_TRUE(SplitKeyPath(L"", &names));
  EXPECT_TRUE(names.empty());
}

// Every change counts, so that a machine writes its registry back only
// after one; reading and re-setting what is there do not.
TEST(RegStoreChanges, EveryChangeCountsAndNothingElse) {
  RegStore store;
  std::uint64_t last = store.changes();
  auto changed = [&store, &last]() {
    const bool grew = store.changes() > last;
    last = store.changes();
    return grew;
  };
  RegKey* key = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor");
  EXPECT_TRUE(changed());
  EXPECT_EQ(store.CreateKey(Hive::kLocalMachine, L"software\\VENDOR"), key);
  EXPECT_FALSE(changed());
  key->SetDword(L"n", 1);
  EXPECT_TRUE(changed());
  key->SetDword(L"N", 1);  // same type and data
  EXPECT_FALSE(changed());
  key->SetValue(L"n", regtype::kBinary, Bytes({1, 0, 0, 0}));  // same bytes, other type
  EXPECT_TRUE(changed());
  key->SetString(L"s", L"x");
  EXPECT_TRUE(changed());
  key->SetString(L"s", L"y");
  EXPECT_TRUE(changed());
  EXPECT_FALSE(key->DeleteValue(L"absent"));
  EXPECT_FALSE(changed());
  EXPECT_TRUE(key->DeleteValue(L"s"));
  EXPECT_TRUE(changed());
  store.FindKey(Hive::kLocalMachine, L"SOFTWARE");
  key->values().At(0);
  key->GetDword(L"n");
  EXPECT_FALSE(changed());

  // Deep below a root, in each hive.
  RegKey* deep = store.CreateKey(Hive::kUsers, L"S-1-5-18\\Software\\A\\B\\C");
  EXPECT_TRUE(changed());
  deep->SetDword(L"d", 1);
  EXPECT_TRUE(changed());
  EXPECT_NE(deep->CreateSubKey(L"D"), nullptr);
  EXPECT_TRUE(changed());
  EXPECT_EQ(deep->CreateSubKey(L"d"), deep->FindSubKey(L"D"));
  EXPECT_FALSE(changed());
  EXPECT_FALSE(deep->DeleteSubKey(L"absent"));
  EXPECT_FALSE(store.DeleteKey(Hive::kUsers, L"S-1-5-18\\Absent"));
  EXPECT_FALSE(changed());
  EXPECT_TRUE(deep->DeleteSubKey(L"D"));
  EXPECT_TRUE(changed());

  // A deleted key held by a handle belongs to no registry any more.
  std::shared_ptr<RegKey> held = deep->shared_from_this();
  EXPECT_TRUE(store.DeleteKey(Hive::kUsers, L"S-1-5-18\\Software"));
  EXPECT_TRUE(changed());
  held->SetDword(L"late", 1);
  EXPECT_FALSE(changed());

  store.Root(Hive::kCurrentUser).Clear();  // already empty
  EXPECT_FALSE(changed());
  store.Clear();
  EXPECT_TRUE(changed());
  store.Clear();
  EXPECT_FALSE(changed());
}

TEST(RegStoreChanges, ReplacingTheContentsIsAChangeAndTheCountNeverGoesBack) {
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"A")->SetDword(L"v", 1);
  const std::uint64_t before = store.changes();

  RegStore fresh;  // fewer changes than `store`
  store = std::move(fresh);
  EXPECT_GT(store.changes(), before);
  EXPECT_GT(fresh.changes(), 0u);  // the moved-from store counts on too

  RegStore other;
  for (int i = 0; i < 10; ++i) other.CreateKey(Hive::kCurrentUser, L"K" + std::to_wstring(i));
  const std::uint64_t otherCount = other.changes();
  RegStore taken(std::move(other));
  EXPECT_EQ(taken.changes(), otherCount);  // the same registry, moved
  const std::uint64_t after = other.changes();
  EXPECT_GT(after, otherCount);
  other.CreateKey(Hive::kCurrentUser, L"New");
  EXPECT_GT(other.changes(), after);
}

}  // namespace
}  // namespace zc::sim
