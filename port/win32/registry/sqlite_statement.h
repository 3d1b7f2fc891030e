// Binding the parameters of a prepared SQLite statement, stepping it and
// reading its columns, for the hive (which keeps its statements prepared)
// and the history reader (which prepares one for each use).
#ifndef VINTUTIL_REGISTRY_SQLITE_STATEMENT_H
#define VINTUTIL_REGISTRY_SQLITE_STATEMENT_H

#include <windows.h>

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vreg {

class StatementUse {
 public:
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;

  StatementUse& bind(int index, int64_t value) {
    sqlite3_bind_int64(s_, index, value);
    return *this;
  }
  // Texts are not copied: they must outlive the step.
  StatementUse& bind(int index, std::string_view text) {
    sqlite3_bind_text(s_, index, text.data(), int(text.size()), SQLITE_STATIC);
    return *this;
  }
  StatementUse& bind(int index, const std::string& text) {
    return bind(index, std::string_view(text));
  }
  // No text leaves the parameter unbound, that is NULL.
  StatementUse& bind(int index, const std::optional<std::string>& text) {
    return text ? bind(index, std::string_view(*text)) : *this;
  }
  StatementUse& bindBlob(int index, const BYTE* data, DWORD size) {
    // A zero-length blob, never NULL, for empty data.
    sqlite3_bind_blob(s_, index, size ? data : reinterpret_cast<const BYTE*>(""), int(size),
                      SQLITE_STATIC);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE, or the error (also one of preparing).
  int step() { return rc_ == SQLITE_OK ? sqlite3_step(s_) : rc_; }

  bool isNull(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }
  int64_t integer(int column) const { return sqlite3_column_int64(s_, column); }
  std::string_view text(int column) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
    return std::string_view(p ? p : "", size_t(sqlite3_column_bytes(s_, column)));
  }
  const BYTE* blob(int column) const {
    return static_cast<const BYTE*>(sqlite3_column_blob(s_, column));
  }
  DWORD bytes(int column) const { return DWORD(sqlite3_column_bytes(s_, column)); }

 protected:
  StatementUse(sqlite3_stmt* statement, int prepared) : s_(statement), rc_(prepared) {}
  ~StatementUse() = default;

  sqlite3_stmt* s_;
  int rc_;  // SQLITE_OK, or why the statement could not be prepared
};

// One use of a statement prepared beforehand: reset when done. `failed`, when
// not SQLITE_OK, is what stepping it returns instead (why it could not be
// prepared or run).
class Run : public StatementUse {
 public:
  Run(sqlite3_stmt* statement, int failed) : StatementUse(statement, failed) {}
  ~Run() { sqlite3_reset(s_); }
};

// A statement prepared for one use, or for several with reset() between
// them: finalized when done.
class Statement : public StatementUse {
 public:
  Statement(sqlite3* db, const std::string& sql) : StatementUse(nullptr, SQLITE_OK) {
    rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr);
  }
  ~Statement() { sqlite3_finalize(s_); }
  void reset() { sqlite3_reset(s_); }
};

// SQLITE_OK when a check's one value is true, SQLITE_CORRUPT when it is
// false, or why the check could not be prepared or run.
inline int checkHolds(sqlite3* db, const std::string& sql) {
  Statement check(db, sql);
  const int rc = check.step();
  if (rc != SQLITE_ROW) return rc;
  return check.integer(0) == 1 ? SQLITE_OK : SQLITE_CORRUPT;
}

}  // namespace vreg

#endif
