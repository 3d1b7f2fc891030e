#include "server_connection.h"

#include <endian.h>

#include <cstring>
#include <memory>

#include "hive_trust.h"

namespace vreg {
namespace {

// The reason libpq gives, on one line: its lines (the later ones indented
// with a tab) joined by single spaces.
std::string oneLine(const char* message) {
  std::string text;
  for (const char* c = message ? message : ""; *c; ++c) {
    if (*c != '\n' && *c != '\t' && *c != ' ') {
      text += *c;
    } else if (!text.empty() && text.back() != ' ') {
      text += ' ';
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void appendHex(std::string_view bytes, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  for (unsigned char c : bytes) {
    out->push_back(kDigits[c >> 4]);
    out->push_back(kDigits[c & 15]);
  }
}

}  // namespace

ServerResult& ServerResult::operator=(ServerResult&& other) noexcept {
  if (this != &other) {
    PQclear(result_);
    result_ = other.result_;
    error_ = other.error_;
    other.result_ = nullptr;
  }
  return *this;
}

int64_t ServerResult::integer(int row, int column) const {
  const char* value = PQgetvalue(result_, row, column);
  switch (PQgetlength(result_, row, column)) {
    case 8: {
      uint64_t v;
      memcpy(&v, value, 8);
      return int64_t(be64toh(v));
    }
    case 4: {
      uint32_t v;
      memcpy(&v, value, 4);
      return int32_t(be32toh(v));
    }
    case 1:
      return value[0];
    default:
      return 0;
  }
}

ServerParams& ServerParams::integer(int64_t value) {
  params_.push_back({std::to_string(value), {}, true});
  return *this;
}

ServerParams& ServerParams::bytes(std::string_view value) {
  params_.push_back({std::string(), value, false});
  return *this;
}

ServerParams& ServerParams::null() {
  params_.push_back({std::string(), {}, true, true});
  return *this;
}

ServerParams& ServerParams::optionalBytes(const std::optional<std::string>& value) {
  params_.push_back(
      {std::string(), value ? std::string_view(*value) : std::string_view(), false, !value});
  return *this;
}

ServerParams& ServerParams::byteArray(const std::vector<std::string_view>& items) {
  // {"\\x4142",...}: each element bytea's hex form, its backslash escaped.
  std::string text = "{";
  for (std::string_view item : items) {
    if (text.size() > 1) text += ',';
    text += "\"\\\\x";
    appendHex(item, &text);
    text += '"';
  }
  text += '}';
  params_.push_back({std::move(text), {}, true});
  return *this;
}

ServerConnection::~ServerConnection() { PQfinish(conn_); }

LONG ServerConnection::open(const std::string& conninfo) {
  PQfinish(conn_);
  // Defaults first: what the connection string says overrides them.
  const char* const keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
  const char* const values[] = {"5", "vintutil", conninfo.c_str(), nullptr};
  conn_ = PQconnectdbParams(keywords, values, 1);
  if (PQstatus(conn_) == CONNECTION_OK) {
    // The server's notices ("already exists, skipping") are not the user's.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    return ERROR_SUCCESS;
  }
  recordRefusal(displayableConnInfo(conninfo) + ": " + oneLine(PQerrorMessage(conn_)));
  PQfinish(conn_);
  conn_ = nullptr;
  return ERROR_BAD_NETPATH;
}

LONG ServerConnection::prepare(const char* name, const char* text) {
  return answer(PQprepare(conn_, name, text, 0, nullptr)).error();
}

// Runs `statement` (prepared) or `sql` (unprepared) with `params`.
ServerResult ServerConnection::send(const char* statement, const char* sql,
                                    const ServerParams& params) {
  const size_t n = params.params_.size();
  std::unique_ptr<const char*[]> values(new const char*[n]);
  std::unique_ptr<int[]> lengths(new int[n]);
  std::unique_ptr<int[]> formats(new int[n]);
  for (size_t i = 0; i < n; ++i) {
    const ServerParams::Param& p = params.params_[i];
    values[i] = p.isText ? p.text.c_str() : p.binary.data();
    // A value of no bytes must still be a value, not SQL's null.
    if (!p.isText && !values[i]) values[i] = "";
    if (p.isNull) values[i] = nullptr;
    lengths[i] = p.isText ? 0 : int(p.binary.size());
    formats[i] = p.isText ? 0 : 1;
  }
  if (statement) {
    return answer(
        PQexecPrepared(conn_, statement, int(n), values.get(), lengths.get(), formats.get(), 1));
  }
  return answer(
      PQexecParams(conn_, sql, int(n), nullptr, values.get(), lengths.get(), formats.get(), 1));
}

ServerResult ServerConnection::run(const char* statement, const ServerParams& params) {
  return send(statement, nullptr, params);
}

ServerResult ServerConnection::query(const char* sql, const ServerParams& params) {
  return send(nullptr, sql, params);
}

ServerResult ServerConnection::exec(const char* sql) { return answer(PQexec(conn_, sql)); }

ServerResult ServerConnection::answer(PGresult* result) {
  const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
    return ServerResult(result, ERROR_SUCCESS);
  }
  const bool lost = PQstatus(conn_) != CONNECTION_OK;
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const LONG error = serverStateToWin32(state, lost);
  recordRefusal("the machine hive's server: " +
                oneLine(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_)));
  return ServerResult(result, error);
}

LONG serverStateToWin32(const char* sqlState, bool connectionLost) {
  if (connectionLost || !sqlState) return ERROR_BAD_NETPATH;
  const std::string_view state(sqlState);
  if (state == "42501") return ERROR_ACCESS_DENIED;  // insufficient privilege
  // Lock not available, serialisation failure, deadlock, statement timeout.
  if (state == "55P03" || state == "40001" || state == "40P01" || state == "57014")
    return ERROR_BUSY;
  // A table, function or schema of the hive missing: not a served hive.
  if (state == "42P01" || state == "42883" || state == "3F000") return ERROR_BADDB;
  if (state == "53100") return ERROR_DISK_FULL;
  if (state == "53200") return ERROR_OUTOFMEMORY;
  // Connection exceptions, and the server shutting down.
  if (state.substr(0, 2) == "08" || state.substr(0, 3) == "57P") return ERROR_BAD_NETPATH;
  return ERROR_REGISTRY_IO_FAILED;
}

std::string displayableConnInfo(const std::string& conninfo) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
  PQfreemem(error);
  if (!options) return "(a connection string libpq cannot read)";
  std::string shown;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val || !*o->val || strcmp(o->keyword, "password") == 0) continue;
    if (!shown.empty()) shown += ' ';
    shown += o->keyword;
    shown += '=';
    shown += o->val;
  }
  PQconninfoFree(options);
  return shown;
}

}  // namespace vreg
