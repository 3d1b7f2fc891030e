#include "served_hive.h"

#include <chrono>
#include <mutex>
#include <vector>

#include "change_notification.h"
#include "client_identity.h"
#include "fork_epoch.h"
#include "hive_file.h"
#include "hive_trust.h"
#include "key_path.h"
#include "name_folding.h"
#include "read_cache.h"
#include "served_changes.h"
#include "served_replica.h"
#include "served_schema.h"
#include "server_connection.h"

namespace vreg {
namespace {

// How long a hive waits after failing to reach its server before it tries
// again (calls meanwhile fail at once).
constexpr std::chrono::seconds kRetryAfter{1};

struct Statement {
  const char* name;
  const char* text;
};

// The statements a served hive runs, prepared once per connection.
constexpr Statement kStatements[] = {
    {"find_key",
     "SELECT id, $2::bigint = 1 OR EXISTS(SELECT 1 FROM vintutil.keys WHERE id = $2::bigint)"
     " FROM vintutil.keys WHERE folded_path = $1"},
    {"key_written", "SELECT written FROM vintutil.keys WHERE id = $1"},
    {"read_value", "SELECT type, data FROM vintutil.vals WHERE key = $1 AND folded_name = $2"},
    {"enum_key",
     "SELECT name, written, folded_name FROM vintutil.keys WHERE parent = $1"
     " ORDER BY folded_name LIMIT 1 OFFSET $2"},
    // From a position: one index seek, then at most one step.
    {"enum_key_from",
     "SELECT name, written, folded_name FROM vintutil.keys WHERE parent = $1"
     " AND folded_name >= $2 ORDER BY folded_name LIMIT 1 OFFSET $3"},
    {"enum_value",
     "SELECT name, type, data, id FROM vintutil.vals WHERE key = $1 ORDER BY id"
     " LIMIT 1 OFFSET $2"},
    {"enum_value_from",
     "SELECT name, type, data, id FROM vintutil.vals WHERE key = $1 AND id >= $2 ORDER BY id"
     " LIMIT 1 OFFSET $3"},
    {"key_info",
     "SELECT k.written,"
     " (SELECT count(*) FROM vintutil.keys c WHERE c.parent = k.id),"
     " (SELECT coalesce(max(octet_length(c.name)), 0) FROM vintutil.keys c"
     "  WHERE c.parent = k.id),"
     " (SELECT count(*) FROM vintutil.vals v WHERE v.key = k.id),"
     " (SELECT coalesce(max(octet_length(v.name)), 0) FROM vintutil.vals v WHERE v.key = k.id),"
     " (SELECT coalesce(max(octet_length(v.data)), 0) FROM vintutil.vals v WHERE v.key = k.id)"
     " FROM vintutil.keys k WHERE k.id = $1"},
    {"write_value", "SELECT * FROM vintutil.write_value($1, $2, $3, $4, $5, $6)"},
    {"delete_value", "SELECT * FROM vintutil.delete_value($1, $2, $3)"},
    {"delete_key", "SELECT * FROM vintutil.delete_key($1)"},
    {"create_key", "SELECT * FROM vintutil.create_key($1, $2, $3, $4)"},
    {"may_write", "SELECT has_table_privilege('vintutil.vals', 'INSERT')"},
};

class ServedHive final : public Hive {
 public:
  explicit ServedHive(std::string conninfo) : conninfo_(std::move(conninfo)) {
    countForks();
    follow();
  }

  LONG checkWritable() override {
    std::lock_guard<std::mutex> lock(mutex_);
    LONG attached = attach();
    if (attached != ERROR_SUCCESS) return attached;
    if (writable_) return ERROR_SUCCESS;
    recordRefusal(std::string("the role ") + PQuser(server_.native()) +
                  " may read the machine hive on its server, not write it (that needs " +
                  "membership of vintutil_writer)");
    return ERROR_ACCESS_DENIED;
  }

  const HiveLocation* file() const override { return nullptr; }
  const std::string& identity() const override { return conninfo_; }
  std::unique_ptr<ChangeSource> changeSource() const override {
    return servedChangeSource(conninfo_, locateMachineReplica().path);
  }
  // The server's notifications need nothing made first.
  LONG prepareForWatch() override { return ERROR_SUCCESS; }

  LONG findKey(KeyId base, std::string_view path, KeyId* key) override {
    return servedOrReplica([&] { return findKeyServed(base, path, key); },
                           [&](Hive& replica) { return replica.findKey(base, path, key); });
  }

  LONG createKey(KeyId base, std::string_view path, KeyId* key, bool* created) override {
    std::lock_guard<std::mutex> lock(mutex_);
    LONG attached = attach();
    if (attached != ERROR_SUCCESS) return attached;
    std::vector<std::string_view> names;
    std::vector<std::string> folded;
    for (size_t start = 0; start < path.size();) {
      size_t end = path.find('\\', start);
      if (end == std::string_view::npos) end = path.size();
      names.push_back(path.substr(start, end - start));
      folded.push_back(foldName(names.back()));
      start = end + 1;
    }
    ServerResult made = run("create_key", ServerParams()
                                              .integer(base)
                                              .byteArray(names)
                                              .byteArray({folded.begin(), folded.end()})
                                              .integer(fileTimeNow()));
    LONG result = outcome(made, 3);
    if (result != ERROR_SUCCESS) return result;
    *key = made.integer(0, 1);
    *created = made.integer(0, 2) != 0;
    if (*created) cache_.forgetMissingKeys();
    return ERROR_SUCCESS;
  }

  LONG deleteKey(KeyId key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (key == kRootKey) return ERROR_ACCESS_DENIED;
    LONG attached = attach();
    if (attached != ERROR_SUCCESS) return attached;
    LONG result = outcome(run("delete_key", ServerParams().integer(key)), 1);
    // Paths and values that led to the key now lead nowhere.
    if (result == ERROR_SUCCESS) cache_.clear();
    return result;
  }

  LONG readValue(KeyId key, std::string_view name, const ValueVisitor& visit) override {
    return servedOrReplica([&] { return readValueServed(key, name, visit); },
                           [&](Hive& replica) { return replica.readValue(key, name, visit); });
  }

  LONG writeValue(KeyId key, std::string_view name, DWORD type, const BYTE* data,
                  DWORD size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    LONG attached = attach();
    if (attached != ERROR_SUCCESS) return attached;
    const std::string foldedName = foldName(name);
    LONG result = outcome(run("write_value", ServerParams()
                                                 .integer(key)
                                                 .bytes(name)
                                                 .bytes(foldedName)
                                                 .integer(type)
                                                 .bytes({reinterpret_cast<const char*>(data), size})
                                                 .integer(fileTimeNow())),
                          1);
    if (result == ERROR_SUCCESS) cache_.rememberValue(key, name, result, type, data, size);
    return result;
  }

  LONG deleteValue(KeyId key, std::string_view name) override {
    std::lock_guard<std::mutex> lock(mutex_);
    LONG attached = attach();
    if (attached != ERROR_SUCCESS) return attached;
    const std::string foldedName = foldName(name);
    LONG result = outcome(
        run("delete_value", ServerParams().integer(key).bytes(foldedName).integer(fileTimeNow())),
        1);
    if (result == ERROR_SUCCESS)
      cache_.rememberValue(key, name, ERROR_FILE_NOT_FOUND, REG_NONE, nullptr, 0);
    return result;
  }

  LONG enumKey(KeyId key, DWORD index, std::string* name, int64_t* lastWrite) override {
    return servedOrReplica(
        [&] { return enumKeyServed(key, index, name, lastWrite); },
        [&](Hive& replica) { return replica.enumKey(key, index, name, lastWrite); });
  }

  LONG enumValue(KeyId key, DWORD index, const NamedValueVisitor& visit) override {
    return servedOrReplica([&] { return enumValueServed(key, index, visit); },
                           [&](Hive& replica) { return replica.enumValue(key, index, visit); });
  }

  LONG keyInfo(KeyId key, KeyInfo* info) override {
    return servedOrReplica([&] { return keyInfoServed(key, info); },
                           [&](Hive& replica) { return replica.keyInfo(key, info); });
  }

  // Every write is durable on the server once it returns.
  LONG flush(KeyId key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    LONG attached = attach();
    return attached == ERROR_SUCCESS ? keyExists(key) : attached;
  }

 private:
  LONG findKeyServed(KeyId base, std::string_view path, KeyId* key) {
    return cache_.findKeyThrough(cacheUsable(), base, path, key,
                                 [&] { return findKeyOnServer(base, path); });
  }

  LONG readValueServed(KeyId key, std::string_view name, const ValueVisitor& visit) {
    return cache_.readValueThrough(cacheUsable(), key, name, visit, [&](const auto& found) {
      ServerResult q = run("read_value", ServerParams().integer(key).bytes(foldName(name)));
      if (q.error() != ERROR_SUCCESS) return q.error();
      if (q.rows() == 1) {
        const std::string_view data = q.bytes(0, 1);
        if (data.size() > kMaxValueSize) return LONG(ERROR_BADDB);
        found(DWORD(q.integer(0, 0)), reinterpret_cast<const BYTE*>(data.data()),
              DWORD(data.size()));
        return LONG(ERROR_SUCCESS);
      }
      LONG exists = keyExists(key);
      return exists == ERROR_SUCCESS ? LONG(ERROR_FILE_NOT_FOUND) : exists;
    });
  }

  LONG enumKeyServed(KeyId key, DWORD index, std::string* name, int64_t* lastWrite) {
    // Enumerating by increasing index goes on from where the last call stood.
    const bool cached = cacheUsable();
    const ReadCache::EnumPosition* from = cached ? cache_.subKeyPosition(key) : nullptr;
    const bool resume = from && (index == from->index || index == from->index + 1);
    ServerResult q = resume ? run("enum_key_from", ServerParams()
                                                       .integer(key)
                                                       .bytes(from->foldedName)
                                                       .integer(int64_t(index - from->index)))
                            : run("enum_key", ServerParams().integer(key).integer(index));
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() == 1) {
      name->assign(q.bytes(0, 0));
      *lastWrite = q.integer(0, 1);
      if (cached) cache_.rememberSubKeyPosition(key, {index, std::string(q.bytes(0, 2)), 0});
      return ERROR_SUCCESS;
    }
    LONG exists = keyExists(key);
    return exists == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : exists;
  }

  LONG enumValueServed(KeyId key, DWORD index, const NamedValueVisitor& visit) {
    const bool cached = cacheUsable();
    const ReadCache::EnumPosition* from = cached ? cache_.valuePosition(key) : nullptr;
    const bool resume = from && (index == from->index || index == from->index + 1);
    ServerResult q =
        resume ? run("enum_value_from", ServerParams().integer(key).integer(from->id).integer(
                                            int64_t(index - from->index)))
               : run("enum_value", ServerParams().integer(key).integer(index));
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() == 1) {
      const std::string_view data = q.bytes(0, 2);
      if (data.size() > kMaxValueSize) return ERROR_BADDB;
      if (cached) cache_.rememberValuePosition(key, {index, std::string(), q.integer(0, 3)});
      visit(q.bytes(0, 0), DWORD(q.integer(0, 1)), reinterpret_cast<const BYTE*>(data.data()),
            DWORD(data.size()));
      return ERROR_SUCCESS;
    }
    LONG exists = keyExists(key);
    return exists == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : exists;
  }

  LONG keyInfoServed(KeyId key, KeyInfo* info) {
    ServerResult q = run("key_info", ServerParams().integer(key));
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() != 1) return ERROR_KEY_DELETED;
    info->lastWrite = q.integer(0, 0);
    info->subKeys = DWORD(q.integer(0, 1));
    info->maxSubKeyLength = DWORD(q.integer(0, 2));
    info->values = DWORD(q.integer(0, 3));
    info->maxValueNameLength = DWORD(q.integer(0, 4));
    info->maxValueSize = DWORD(q.integer(0, 5));
    return ERROR_SUCCESS;
  }

  // A read answered by the server, or by the replica while the server
  // cannot be reached.
  template <typename OnServer, typename OnReplica>
  LONG servedOrReplica(OnServer onServer, OnReplica onReplica) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      LONG attached = attach();
      LONG result = attached == ERROR_SUCCESS ? onServer() : attached;
      if (result != ERROR_BAD_NETPATH) return result;
    }
    Hive* replica = replica_->hive();
    return replica ? onReplica(*replica) : LONG(ERROR_BAD_NETPATH);
  }

  // A usable connection: connects (again) when there is none, unless the
  // last attempt failed less than kRetryAfter ago.
  LONG attach() {
    if (epoch_ != forkEpoch()) abandonInheritedConnection();
    if (server_.isOpen()) return ERROR_SUCCESS;
    const auto now = std::chrono::steady_clock::now();
    if (now < retryAt_) return ERROR_BAD_NETPATH;
    cache_.clear();
    LONG result = connect();
    if (result != ERROR_SUCCESS) retryAt_ = now + kRetryAfter;
    return result;
  }

  LONG connect() {
    LONG result = server_.open(conninfo_);
    if (result == ERROR_SUCCESS) result = checkServedSchema(server_);
    // The history names this process with each change it makes.
    if (result == ERROR_SUCCESS) result = sendClientIdentity(server_);
    if (result == ERROR_SUCCESS) {
      const std::string settings =
          "SET synchronous_commit = on; SET lock_timeout = " + std::to_string(Hive::lockTimeout());
      result = server_.exec(settings.c_str()).error();
    }
    for (const Statement& s : kStatements) {
      if (result == ERROR_SUCCESS) result = server_.prepare(s.name, s.text);
    }
    if (result == ERROR_SUCCESS) {
      ServerResult may = server_.run("may_write", ServerParams());
      result = may.error();
      writable_ = result == ERROR_SUCCESS && may.rows() == 1 && may.integer(0, 0) != 0;
    }
    if (result != ERROR_SUCCESS) {
      server_.close();
      return result;
    }
    return ERROR_SUCCESS;
  }

  // Starts listening for the server's changes, which keep the read cache
  // and the replica current.
  void follow() {
    replica_ = std::make_unique<ServedReplica>(conninfo_, locateMachineReplica());
    ServedReplica* replica = replica_.get();
    changes_ = std::make_unique<ServedChanges>(
        conninfo_, [replica](uint64_t generation) { replica->serverAt(generation); });
  }

  // After fork(): the connection and the threads are the parent's.
  void abandonInheritedConnection() {
    server_.abandon();
    static_cast<void>(changes_.release());
    static_cast<void>(replica_.release());
    follow();
    cache_.clear();
    epoch_ = forkEpoch();
  }

  // Runs a prepared statement; a lost connection is dropped, to be made
  // anew at the next call.
  ServerResult run(const char* statement, const ServerParams& params) {
    ServerResult result = server_.run(statement, params);
    if (result.error() == ERROR_BAD_NETPATH && !server_.isOpen()) {
      server_.close();
      cache_.clear();
    }
    return result;
  }

  // The Win32 code a write function returned in its first column, and the
  // generation it committed in column `generationColumn`, which the cache
  // takes in.
  LONG outcome(const ServerResult& q, int generationColumn) {
    if (q.error() != ERROR_SUCCESS) return q.error();
    const LONG result = LONG(q.integer(0, 0));
    const uint64_t generation = uint64_t(q.integer(0, generationColumn));
    if (generation) {
      changes_->committed(generation);
      replica_->serverAt(generation);
      cache_.advance(generation - 1, generation);
      changesCommitted(conninfo_);
    }
    return result;
  }

  bool cacheUsable() {
    uint64_t generation;
    if (!changes_->generation(&generation)) return false;
    cache_.syncTo(generation);
    return true;
  }

  ReadCache::KeyResult findKeyOnServer(KeyId base, std::string_view path) {
    const std::string folded = foldName(path);
    ServerResult q = run("find_key", ServerParams().bytes(folded).integer(base));
    if (q.error() != ERROR_SUCCESS) return {q.error(), 0};
    if (q.rows() == 1 && q.integer(0, 1)) return {ERROR_SUCCESS, q.integer(0, 0)};
    LONG exists = keyExists(base);
    return {exists == ERROR_SUCCESS ? LONG(ERROR_FILE_NOT_FOUND) : exists, 0};
  }

  // ERROR_SUCCESS when `key` exists, ERROR_KEY_DELETED when it does not.
  LONG keyExists(KeyId key) {
    ServerResult q = run("key_written", ServerParams().integer(key));
    if (q.error() != ERROR_SUCCESS) return q.error();
    return q.rows() == 1 ? ERROR_SUCCESS : ERROR_KEY_DELETED;
  }

  std::mutex mutex_;
  const std::string conninfo_;
  ServerConnection server_;
  std::unique_ptr<ServedReplica> replica_;
  std::unique_ptr<ServedChanges> changes_;
  ReadCache cache_;
  bool writable_ = false;
  unsigned epoch_ = forkEpoch();
  std::chrono::steady_clock::time_point retryAt_{};
};

}  // namespace

std::shared_ptr<Hive> openServedHive(std::string conninfo) {
  return std::make_shared<ServedHive>(std::move(conninfo));
}

}  // namespace vreg
