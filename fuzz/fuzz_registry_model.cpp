// Random sequences of registry calls on HKEY_CURRENT_USER of a private hive,
// each checked against a small in-memory model of the registry's semantics:
// case-insensitive, case-preserving names; data kept byte for byte with its
// type, text without its terminator as the ANSI functions treat it;
// ERROR_MORE_DATA with the size needed; ERROR_FILE_NOT_FOUND for what
// is missing; ERROR_KEY_DELETED through a handle whose key was deleted;
// access rights per handle; ERROR_INVALID_HANDLE after RegCloseKey. Subkeys
// enumerate in the order of their folded names, values in the order created.
//
// After each sequence the whole tree is compared, every handle is closed
// (none may stay open), and the tree is deleted and the keys of a new hive
// made again, so that every input starts from a new HKEY_CURRENT_USER
// (Software, Control Panel\International).
#include <windows.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "name_folding.h"
#include "registry_diagnostics.h"
#include "temp_registry_dir.h"

namespace {

// Names are drawn from small pools, so that calls meet the same keys and
// values often, in different cases. '_' sorts differently when names are
// folded to upper or to lower case; `ä` and `я` fold beyond ASCII, `ı` does
// not fold to `I`.
const char* const kKeyNames[] = {"a", "A", "b", "B", "ab", "aB", "_", "k_2", "ä", "Ä", "ı", "I"};
const char* const kValueNames[] = {"", "v", "V", "w", "vw", "VW", "_", "x y", "я", "Я", "ı"};
const DWORD kTypes[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ};
const REGSAM kAccess[] = {KEY_ALL_ACCESS, KEY_READ, KEY_WRITE, KEY_QUERY_VALUE, MAXIMUM_ALLOWED};
// What a new user hive holds: every input starts from it.
const std::vector<std::string> kNewHiveKeys[] = {{"Control Panel", "International"}, {"Software"}};
constexpr size_t kMaxHandles = 8;
constexpr size_t kMaxData = 48;

// The registry's own folding: the model checks the calls, not the mapping.
std::string Fold(const std::string& name) { return vreg::foldName(name); }

bool SameName(const std::string& a, const std::string& b) { return Fold(a) == Fold(b); }

struct Value {
  std::string name;
  DWORD type;
  std::vector<BYTE> data;
};

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }
bool LacksTerminator(const std::vector<BYTE>& data) { return !data.empty() && data.back() != 0; }
std::vector<BYTE> Append(std::vector<BYTE> data, BYTE byte) {
  data.push_back(byte);
  return data;
}

struct Key {
  std::string name;       // as first created
  std::string path;       // from the root, as created
  Key* parent = nullptr;  // alive while this key is not deleted
  bool deleted = false;
  std::vector<std::shared_ptr<Key>> subKeys;  // in case-insensitive name order
  std::vector<Value> values;                  // in the order created

  std::shared_ptr<Key> Find(const std::string& component) const {
    for (const auto& k : subKeys) {
      if (SameName(k->name, component)) return k;
    }
    return nullptr;
  }
  Value* FindValue(const std::string& valueName) {
    for (Value& v : values) {
      if (SameName(v.name, valueName)) return &v;
    }
    return nullptr;
  }
  const std::string& Path() const { return path; }
  static std::string JoinPath(const std::string& base, const std::string& name) {
    return base.empty() ? name : base + "\\" + name;
  }
};

struct Handle {
  HKEY hkey;
  std::shared_ptr<Key> key;
  REGSAM access;
};

[[noreturn]] void Fail(const char* call, const std::string& detail, LONG actual, LONG expected) {
  std::fprintf(stderr, "%s %s: returned %ld, expected %ld\n", call, detail.c_str(),
               static_cast<long>(actual), static_cast<long>(expected));
  std::abort();
}

void Expect(bool condition, const char* call, const std::string& what) {
  if (condition) return;
  std::fprintf(stderr, "%s: %s\n", call, what.c_str());
  std::abort();
}

// VINTUTIL_FUZZ_TRACE=1 lists every checked call, to follow a reproducer.
bool g_trace = false;

void ExpectCode(const char* call, const std::string& detail, LONG actual, LONG expected) {
  if (g_trace)
    std::fprintf(stderr, "%s %s -> %ld\n", call, detail.c_str(), static_cast<long>(actual));
  if (actual != expected) Fail(call, detail, actual, expected);
}

// The byte after a value's data read into a buffer of `capacity` bytes
// (which held the data): a zero after text that lacks its terminator when
// the buffer has room, else untouched.
void ExpectAfterData(const Value& v, const std::vector<BYTE>& buffer, DWORD capacity,
                     const char* call) {
  const size_t size = v.data.size();
  if (size >= capacity) return;
  const BYTE expected = IsText(v.type) && LacksTerminator(v.data) ? 0 : 0xcc;
  Expect(buffer[size] == expected, call, "the byte after the data of \"" + v.name + "\"");
}

class Session {
 public:
  explicit Session(FuzzedDataProvider& in) : in_(in), root_(std::make_shared<Key>()) {
    handles_.push_back(Handle{HKEY_CURRENT_USER, root_, KEY_ALL_ACCESS});
    for (const auto& path : kNewHiveKeys) MakePath(root_, path);
  }

  void Run() {
    while (in_.remaining_bytes() > 0) {
      switch (in_.ConsumeIntegralInRange(0, 9)) {
        case 0:
          Create();
          break;
        case 1:
          Open();
          break;
        case 2:
          SetValue();
          break;
        case 3:
          QueryValue();
          break;
        case 4:
          DeleteValue();
          break;
        case 5:
          DeleteKey();
          break;
        case 6:
          EnumKey();
          break;
        case 7:
          EnumValue();
          break;
        case 8:
          Close();
          break;
        default:
          UseClosed();
          break;
      }
    }
    CompareTree(*root_, "");
    for (size_t i = 1; i < handles_.size(); ++i) {
      if (handles_[i].hkey != HKEY_CURRENT_USER) {
        ExpectCode("RegCloseKey", "at the end", RegCloseKey(handles_[i].hkey), ERROR_SUCCESS);
      }
    }
    Expect(RegDiagOpenHandleCount() == 0, "RegCloseKey", "handles left open");
    Clear(*root_);
    // The next input starts from a new hive again.
    for (const auto& path : kNewHiveKeys) {
      HKEY key = nullptr;
      std::string text;
      for (const std::string& c : path) text = Key::JoinPath(text, c);
      ExpectCode("RegCreateKeyA", text, RegCreateKeyA(HKEY_CURRENT_USER, text.c_str(), &key),
                 ERROR_SUCCESS);
      RegCloseKey(key);
    }
  }

 private:
  // --- input -------------------------------------------------------------
  template <typename T, size_t N>
  T Pick(const T (&pool)[N]) {
    return pool[in_.ConsumeIntegralInRange<size_t>(0, N - 1)];
  }
  Handle& PickHandle() {
    return handles_[in_.ConsumeIntegralInRange<size_t>(0, handles_.size() - 1)];
  }

  // One to three components, sometimes with a trailing separator.
  std::vector<std::string> PickPath(std::string* text) {
    std::vector<std::string> components(in_.ConsumeIntegralInRange(1, 3));
    for (std::string& c : components) {
      c = Pick(kKeyNames);
      *text = Key::JoinPath(*text, c);
    }
    if (in_.ConsumeBool() && in_.ConsumeBool()) *text += '\\';
    return components;
  }

  // --- the model's lookups ---------------------------------------------
  std::shared_ptr<Key> Walk(const std::shared_ptr<Key>& base,
                            const std::vector<std::string>& path) {
    std::shared_ptr<Key> key = base;
    for (const std::string& c : path) {
      if (!(key = key->Find(c))) return nullptr;
    }
    return key;
  }

  static void InsertSorted(Key& parent, std::shared_ptr<Key> child) {
    auto at = std::lower_bound(
        parent.subKeys.begin(), parent.subKeys.end(), child,
        [](const auto& a, const auto& b) { return Fold(a->name) < Fold(b->name); });
    parent.subKeys.insert(at, std::move(child));
  }

  // The key at `path` below `key`, made with its missing parents.
  static std::shared_ptr<Key> MakePath(std::shared_ptr<Key> key,
                                       const std::vector<std::string>& path) {
    for (const std::string& c : path) {
      std::shared_ptr<Key> next = key->Find(c);
      if (!next) {
        next = std::make_shared<Key>();
        next->name = c;
        next->path = Key::JoinPath(key->path, c);
        next->parent = key.get();
        InsertSorted(*key, next);
      }
      key = next;
    }
    return key;
  }

  void AddHandle(HKEY hkey, std::shared_ptr<Key> key, REGSAM access) {
    Expect(hkey != nullptr && hkey != HKEY_CURRENT_USER, "open", "no new handle");
    closed_.erase(std::remove(closed_.begin(), closed_.end(), hkey), closed_.end());
    if (handles_.size() < kMaxHandles) {
      handles_.push_back(Handle{hkey, std::move(key), access});
    } else {
      ExpectCode("RegCloseKey", "of a surplus handle", RegCloseKey(hkey), ERROR_SUCCESS);
    }
  }

  static REGSAM Granted(REGSAM asked) {
    return asked & MAXIMUM_ALLOWED ? (asked & ~MAXIMUM_ALLOWED) | KEY_ALL_ACCESS : asked;
  }

  // --- operations ---------------------------------------------------------
  void Create() {
    Handle& base = PickHandle();
    const bool empty = in_.ConsumeIntegralInRange(0, 7) == 0;
    std::string text;
    const std::vector<std::string> path = empty ? std::vector<std::string>() : PickPath(&text);
    const bool leadingSeparator = !empty && in_.ConsumeIntegralInRange(0, 15) == 0;
    if (leadingSeparator) text = "\\" + text;
    const REGSAM access = Pick(kAccess);
    HKEY result = reinterpret_cast<HKEY>(0x1);
    DWORD disposition = 0xdeadbeef;
    const LONG rc = RegCreateKeyExA(base.hkey, text.c_str(), 0, nullptr, 0, access, nullptr,
                                    &result, &disposition);
    LONG expected = ERROR_SUCCESS;
    std::shared_ptr<Key> key;
    if (leadingSeparator) {
      expected = ERROR_BAD_PATHNAME;
    } else if (base.key->deleted) {
      expected = ERROR_KEY_DELETED;
    } else if ((key = Walk(base.key, path))) {
      ExpectCode("RegCreateKeyExA", text + " (disposition)", disposition, REG_OPENED_EXISTING_KEY);
    } else {
      key = MakePath(base.key, path);
      ExpectCode("RegCreateKeyExA", text + " (disposition)", disposition, REG_CREATED_NEW_KEY);
    }
    ExpectCode("RegCreateKeyExA", Where(base) + " " + text, rc, expected);
    if (rc == ERROR_SUCCESS) {
      AddHandle(result, key, Granted(access));
    } else {
      Expect(result == nullptr, "RegCreateKeyExA", "a failure leaves a handle");
    }
  }

  void Open() {
    Handle& base = PickHandle();
    const bool empty = in_.ConsumeIntegralInRange(0, 7) == 0;
    std::string text;
    const std::vector<std::string> path = empty ? std::vector<std::string>() : PickPath(&text);
    const REGSAM access = Pick(kAccess);
    HKEY result = reinterpret_cast<HKEY>(0x1);
    const LONG rc = RegOpenKeyExA(base.hkey, text.c_str(), 0, access, &result);
    if (base.hkey == HKEY_CURRENT_USER && empty) {
      ExpectCode("RegOpenKeyExA", "of the root itself", rc, ERROR_SUCCESS);
      Expect(result == HKEY_CURRENT_USER, "RegOpenKeyExA", "the root's empty path is the root");
      return;
    }
    std::shared_ptr<Key> key = base.key->deleted ? nullptr : Walk(base.key, path);
    const LONG expected = base.key->deleted ? ERROR_KEY_DELETED
                          : key             ? ERROR_SUCCESS
                                            : ERROR_FILE_NOT_FOUND;
    ExpectCode("RegOpenKeyExA", Where(base) + " " + text, rc, expected);
    if (rc == ERROR_SUCCESS) {
      AddHandle(result, key, Granted(access));
    } else {
      Expect(result == nullptr, "RegOpenKeyExA", "a failure leaves a handle");
    }
  }

  // A handle's key, for messages.
  static std::string Where(const Handle& h) {
    return "[" + h.key->Path() + (h.key->deleted ? " (deleted)" : "") + "]";
  }

  // The error every value or enumeration call gives through `handle`
  // before it looks at names: missing rights, then a deleted key.
  static LONG KeyError(const Handle& handle, REGSAM needed) {
    if ((handle.access & needed) != needed) return ERROR_ACCESS_DENIED;
    return handle.key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
  }

  // A value name, sometimes as a null pointer (the unnamed value).
  const char* PickValueName(std::string* name) {
    *name = Pick(kValueNames);
    return name->empty() && in_.ConsumeBool() ? nullptr : name->c_str();
  }

  void SetValue() {
    Handle& handle = PickHandle();
    std::string name;
    const char* namePtr = PickValueName(&name);
    const DWORD type = in_.ConsumeBool() ? Pick(kTypes) : in_.ConsumeIntegral<DWORD>();
    std::vector<BYTE> data =
        in_.ConsumeBytes<BYTE>(in_.ConsumeIntegralInRange<size_t>(0, kMaxData));
    // The byte after the data given, which the call may read.
    const std::vector<BYTE> given = Append(data, in_.ConsumeIntegral<BYTE>());
    const LONG rc = RegSetValueExA(handle.hkey, namePtr, 0, type,
                                   data.empty() ? nullptr : given.data(), DWORD(data.size()));
    const LONG expected = KeyError(handle, KEY_SET_VALUE);
    ExpectCode("RegSetValueExA", Where(handle) + " \"" + name + "\"", rc, expected);
    if (rc != ERROR_SUCCESS) return;
    // Text given without its terminator, with a zero after it, keeps that zero.
    if (IsText(type) && LacksTerminator(data) && given.back() == 0) data.push_back(0);
    if (Value* v = handle.key->FindValue(name)) {
      v->type = type;
      v->data = data;
    } else {
      handle.key->values.push_back(Value{name, type, data});
    }
  }

  void QueryValue() {
    Handle& handle = PickHandle();
    std::string name;
    const char* namePtr = PickValueName(&name);
    // 0: no buffer, size asked; 1: neither; else a buffer of some size.
    const int mode = in_.ConsumeIntegralInRange(0, 3);
    const DWORD capacity = in_.ConsumeIntegralInRange<DWORD>(0, kMaxData + 2);
    std::vector<BYTE> buffer(mode >= 2 ? capacity + 1 : 0, 0xcc);  // + a guard byte
    DWORD size = mode == 1 ? 0 : mode == 0 ? 0xdeadbeef : capacity;
    DWORD type = 0xdeadbeef;
    const LONG rc =
        RegQueryValueExA(handle.hkey, namePtr, nullptr, &type, mode >= 2 ? buffer.data() : nullptr,
                         mode == 1 ? nullptr : &size);
    LONG expected = KeyError(handle, KEY_QUERY_VALUE);
    const Value* v = expected == ERROR_SUCCESS ? handle.key->FindValue(name) : nullptr;
    if (expected == ERROR_SUCCESS && !v) expected = ERROR_FILE_NOT_FOUND;
    if (v && mode >= 2 && v->data.size() > capacity) expected = ERROR_MORE_DATA;
    ExpectCode("RegQueryValueExA", Where(handle) + " \"" + name + "\"", rc, expected);
    if (!v) return;
    Expect(type == v->type, "RegQueryValueExA", "type of \"" + name + "\"");
    if (mode != 1) Expect(size == v->data.size(), "RegQueryValueExA", "size of \"" + name + "\"");
    if (rc == ERROR_SUCCESS && mode >= 2) {
      Expect(std::equal(v->data.begin(), v->data.end(), buffer.begin()), "RegQueryValueExA",
             "data of \"" + name + "\"");
      ExpectAfterData(*v, buffer, capacity, "RegQueryValueExA");
      Expect(buffer[capacity] == 0xcc, "RegQueryValueExA", "wrote past the buffer");
    }
  }

  void DeleteValue() {
    Handle& handle = PickHandle();
    std::string name;
    const char* namePtr = PickValueName(&name);
    const LONG rc = RegDeleteValueA(handle.hkey, namePtr);
    LONG expected = KeyError(handle, KEY_SET_VALUE);
    if (expected == ERROR_SUCCESS) {
      auto& values = handle.key->values;
      auto it = std::find_if(values.begin(), values.end(),
                             [&](const Value& v) { return SameName(v.name, name); });
      if (it == values.end()) {
        expected = ERROR_FILE_NOT_FOUND;
      } else {
        values.erase(it);
      }
    }
    ExpectCode("RegDeleteValueA", Where(handle) + " \"" + name + "\"", rc, expected);
  }

  void DeleteKey() {
    Handle& base = PickHandle();
    const bool empty = in_.ConsumeIntegralInRange(0, 7) == 0;
    std::string text;
    const std::vector<std::string> path = empty ? std::vector<std::string>() : PickPath(&text);
    const LONG rc = RegDeleteKeyA(base.hkey, text.c_str());
    std::shared_ptr<Key> key = base.key->deleted ? nullptr : Walk(base.key, path);
    LONG expected = ERROR_SUCCESS;
    if (base.key->deleted) {
      expected = ERROR_KEY_DELETED;
    } else if (!key) {
      expected = ERROR_FILE_NOT_FOUND;
    } else if (key == root_ || !key->subKeys.empty()) {
      expected = ERROR_ACCESS_DENIED;
    }
    ExpectCode("RegDeleteKeyA", Where(base) + " " + text, rc, expected);
    if (rc != ERROR_SUCCESS) return;
    key->deleted = true;
    key->values.clear();
    auto& siblings = key->parent->subKeys;
    siblings.erase(std::find(siblings.begin(), siblings.end(), key));
  }

  void EnumKey() {
    Handle& handle = PickHandle();
    const DWORD index = in_.ConsumeIntegralInRange<DWORD>(0, 4);
    const DWORD capacity = in_.ConsumeIntegralInRange<DWORD>(1, 6);
    std::vector<char> name(capacity + 1, '\xcc');
    DWORD length = capacity;
    const LONG rc =
        RegEnumKeyExA(handle.hkey, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    LONG expected = KeyError(handle, KEY_ENUMERATE_SUB_KEYS);
    const auto& subKeys = handle.key->subKeys;
    if (expected == ERROR_SUCCESS) {
      if (index >= subKeys.size()) {
        expected = ERROR_NO_MORE_ITEMS;
      } else if (subKeys[index]->name.size() >= capacity) {
        expected = ERROR_MORE_DATA;
      }
    }
    ExpectCode("RegEnumKeyExA", Where(handle) + " index " + std::to_string(index), rc, expected);
    Expect(name[capacity] == '\xcc', "RegEnumKeyExA", "wrote past the name buffer");
    if (rc != ERROR_SUCCESS) return;
    const std::string& want = subKeys[index]->name;
    Expect(length == want.size() && name.data() == want, "RegEnumKeyExA",
           "subkey " + std::to_string(index) + " is \"" + std::string(name.data()) +
               "\", expected \"" + want + "\"");
  }

  void EnumValue() {
    Handle& handle = PickHandle();
    const DWORD index = in_.ConsumeIntegralInRange<DWORD>(0, 4);
    const DWORD nameCapacity = in_.ConsumeIntegralInRange<DWORD>(1, 5);
    const bool withData = in_.ConsumeBool();
    const DWORD dataCapacity = in_.ConsumeIntegralInRange<DWORD>(0, kMaxData + 2);
    std::vector<char> name(nameCapacity + 1, '\xcc');
    std::vector<BYTE> data(dataCapacity + 1, 0xcc);
    DWORD nameLength = nameCapacity, size = dataCapacity, type = 0xdeadbeef;
    const LONG rc = RegEnumValueA(handle.hkey, index, name.data(), &nameLength, nullptr, &type,
                                  withData ? data.data() : nullptr, &size);
    LONG expected = KeyError(handle, KEY_QUERY_VALUE);
    const auto& values = handle.key->values;
    const Value* v = nullptr;
    if (expected == ERROR_SUCCESS) {
      if (index >= values.size()) {
        expected = ERROR_NO_MORE_ITEMS;
      } else {
        v = &values[index];
        if (v->name.size() >= nameCapacity || (withData && v->data.size() > dataCapacity)) {
          expected = ERROR_MORE_DATA;
        }
      }
    }
    ExpectCode("RegEnumValueA", Where(handle) + " index " + std::to_string(index), rc, expected);
    Expect(name[nameCapacity] == '\xcc' && data[dataCapacity] == 0xcc, "RegEnumValueA",
           "wrote past a buffer");
    if (!v) return;
    Expect(size == v->data.size(), "RegEnumValueA", "size of \"" + v->name + "\"");
    Expect(type == v->type, "RegEnumValueA", "type of \"" + v->name + "\"");
    if (rc != ERROR_SUCCESS) return;
    Expect(nameLength == v->name.size() && name.data() == v->name, "RegEnumValueA",
           "value " + std::to_string(index) + " is \"" + std::string(name.data()) +
               "\", expected \"" + v->name + "\"");
    if (withData) {
      Expect(std::equal(v->data.begin(), v->data.end(), data.begin()), "RegEnumValueA",
             "data of \"" + v->name + "\"");
      ExpectAfterData(*v, data, dataCapacity, "RegEnumValueA");
    }
  }

  void Close() {
    const size_t i = in_.ConsumeIntegralInRange<size_t>(0, handles_.size() - 1);
    const HKEY hkey = handles_[i].hkey;
    ExpectCode("RegCloseKey", "", RegCloseKey(hkey), ERROR_SUCCESS);
    if (hkey == HKEY_CURRENT_USER) return;  // a root stays usable
    handles_.erase(handles_.begin() + i);
    closed_.push_back(hkey);
  }

  void UseClosed() {
    if (closed_.empty()) return;
    const HKEY hkey = closed_[in_.ConsumeIntegralInRange<size_t>(0, closed_.size() - 1)];
    DWORD size = 0;
    ExpectCode("RegQueryValueExA", "through a closed handle",
               RegQueryValueExA(hkey, "v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    ExpectCode("RegCloseKey", "of a closed handle", RegCloseKey(hkey), ERROR_INVALID_HANDLE);
  }

  // --- whole tree ---------------------------------------------------------
  // The stored tree below `key` (at `path`) is exactly the model's.
  void CompareTree(const Key& key, const std::string& path) {
    HKEY hkey = nullptr;
    ExpectCode("RegOpenKeyExA", path,
               RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hkey), ERROR_SUCCESS);
    DWORD i = 0;
    for (;; ++i) {
      char name[256];
      DWORD length = sizeof name;
      BYTE data[kMaxData];
      DWORD size = sizeof data, type = 0;
      const LONG rc = RegEnumValueA(hkey, i, name, &length, nullptr, &type, data, &size);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      ExpectCode("RegEnumValueA", path, rc, ERROR_SUCCESS);
      Expect(i < key.values.size(), "RegEnumValueA", "extra value \"" + std::string(name) + "\"");
      const Value& v = key.values[i];
      Expect(v.name == name && v.type == type && v.data == std::vector<BYTE>(data, data + size),
             "RegEnumValueA", "value \"" + v.name + "\" of " + path);
    }
    Expect(i == key.values.size(), "RegEnumValueA", "values missing in " + path);
    for (i = 0;; ++i) {
      char name[256];
      DWORD length = sizeof name;
      const LONG rc = RegEnumKeyExA(hkey, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      ExpectCode("RegEnumKeyExA", path, rc, ERROR_SUCCESS);
      Expect(i < key.subKeys.size() && key.subKeys[i]->name == name, "RegEnumKeyExA",
             "subkey \"" + std::string(name) + "\" of " + path);
    }
    Expect(i == key.subKeys.size(), "RegEnumKeyExA", "subkeys missing in " + path);
    RegCloseKey(hkey);
    for (const auto& sub : key.subKeys) CompareTree(*sub, Key::JoinPath(path, sub->name));
  }

  // Deletes everything below the model's `key`, leaves first.
  void Clear(const Key& key) {
    for (const auto& sub : key.subKeys) {
      Clear(*sub);
      ExpectCode("RegDeleteKeyA", sub->Path(),
                 RegDeleteKeyA(HKEY_CURRENT_USER, sub->Path().c_str()), ERROR_SUCCESS);
    }
    if (&key != root_.get()) return;
    for (const Value& v : key.values) {
      ExpectCode("RegDeleteValueA", v.name, RegDeleteValueA(HKEY_CURRENT_USER, v.name.c_str()),
                 ERROR_SUCCESS);
    }
  }

  FuzzedDataProvider& in_;
  std::shared_ptr<Key> root_;
  std::vector<Handle> handles_;  // [0] is HKEY_CURRENT_USER
  std::vector<HKEY> closed_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_trace = std::getenv("VINTUTIL_FUZZ_TRACE") != nullptr;
  UseTempRegistryDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Session(in).Run();
  return 0;
}
