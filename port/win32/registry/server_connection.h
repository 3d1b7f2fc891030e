// One connection to the PostgreSQL server of a served hive (libpq), with the
// statements the hive runs prepared on it, and the server's answers mapped
// to Win32 codes.
#ifndef VINTUTIL_REGISTRY_SERVER_CONNECTION_H
#define VINTUTIL_REGISTRY_SERVER_CONNECTION_H

#include <windows.h>

#include <libpq-fe.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vreg {

// The server's answer to one statement: rows of binary columns.
class ServerResult {
 public:
  ServerResult() = default;
  ServerResult(PGresult* result, LONG error) : result_(result), error_(error) {}
  ~ServerResult() { PQclear(result_); }
  ServerResult(ServerResult&& other) noexcept : result_(other.result_), error_(other.error_) {
    other.result_ = nullptr;
  }
  ServerResult& operator=(ServerResult&& other) noexcept;

  // ERROR_SUCCESS when the statement ran; else what went wrong.
  LONG error() const { return error_; }
  int rows() const { return result_ ? PQntuples(result_) : 0; }
  bool isNull(int row, int column) const { return PQgetisnull(result_, row, column); }
  // A bigint, integer or boolean column.
  int64_t integer(int row, int column) const;
  std::string_view bytes(int row, int column) const {
    return {PQgetvalue(result_, row, column), size_t(PQgetlength(result_, row, column))};
  }

 private:
  PGresult* result_ = nullptr;
  LONG error_ = ERROR_SUCCESS;
};

// The parameters of one statement: integers and arrays as text, bytes as
// binary. Bytes are not copied: they must outlive the statement's run.
class ServerParams {
 public:
  ServerParams& integer(int64_t value);
  ServerParams& bytes(std::string_view value);
  ServerParams& null();
  // SQL's null, or the bytes when there are.
  ServerParams& optionalBytes(const std::optional<std::string>& value);
  // A bytea[] array of `items`.
  ServerParams& byteArray(const std::vector<std::string_view>& items);

 private:
  friend class ServerConnection;
  struct Param {
    std::string text;
    std::string_view binary;
    bool isText;
    bool isNull = false;
  };
  std::vector<Param> params_;
};

class ServerConnection {
 public:
  ServerConnection() = default;
  ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  // Connects to the server `conninfo` names (a URI or key=value string;
  // passwords through libpq's own files and environment). ERROR_BAD_NETPATH,
  // with the reason recorded as the registry's last refusal, when it cannot.
  LONG open(const std::string& conninfo);
  // Forgets a connection inherited from the parent process, without a word
  // to the server: it is the parent's.
  void abandon() { conn_ = nullptr; }
  void close() {
    PQfinish(conn_);
    conn_ = nullptr;
  }
  bool isOpen() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }
  PGconn* native() const { return conn_; }

  // Prepares `text` as statement `name` (done once per connection).
  LONG prepare(const char* name, const char* text);
  ServerResult run(const char* statement, const ServerParams& params);
  // Runs one statement of SQL with parameters ($1, ...), unprepared; rows
  // in binary, as run() gives them.
  ServerResult query(const char* sql, const ServerParams& params);
  // Runs SQL without parameters (several statements allowed).
  ServerResult exec(const char* sql);

 private:
  ServerResult send(const char* statement, const char* sql, const ServerParams& params);
  ServerResult answer(PGresult* result);
  PGconn* conn_ = nullptr;
};

// The Win32 code for a failed statement's SQLSTATE; connection failures are
// ERROR_BAD_NETPATH.
LONG serverStateToWin32(const char* sqlState, bool connectionLost);

// `conninfo` as it may be shown: any password left out.
std::string displayableConnInfo(const std::string& conninfo);

}  // namespace vreg

#endif
