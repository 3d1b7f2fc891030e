#include "served_hive.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <registry_server.h>

namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

// The server's maintenance database, as its superuser.
Connection ConnectAsSuperuser(const std::string& serverDir) {
  const std::string conninfo = "host=" + serverDir + " dbname=postgres user=postgres";
  Connection connection(PQconnectdb(conninfo.c_str()), &PQfinish);
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    throw ServerUnreachable("cannot reach the test server (" + conninfo +
                            "): " + PQerrorMessage(connection.get()));
  }
  return connection;
}

// "" when `sql` ran, otherwise the server's reason.
std::string Execute(PGconn* connection, const std::string& sql) {
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection, sql.c_str()), &PQclear);
  if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) return "";
  return sql + ": " + PQerrorMessage(connection);
}

// Unique among the tests of every process using the server, and among the
// leftovers of earlier runs' killed tests.
std::string UniqueDatabaseName() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return "vintutil_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" +
         std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

}  // namespace

std::string TestServerDir() {
  const char* dir = getenv("VINTUTIL_TEST_SERVER");
  return dir != nullptr ? dir : "";
}

int64_t QueryServedHive(const std::string& sql) {
  const char* conninfo = getenv("VINTUTIL_MACHINE_HIVE");
  Connection connection(PQconnectdb(conninfo ? conninfo : ""), &PQfinish);
  if (PQstatus(connection.get()) != CONNECTION_OK)
    throw std::runtime_error(std::string("cannot reach the served hive: ") +
                             PQerrorMessage(connection.get()));
  std::unique_ptr<PGresult, decltype(&PQclear)> result(
      PQexec(connection.get(), ("SET search_path = vintutil; " + sql).c_str()), &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    throw std::runtime_error(sql + ": " + PQerrorMessage(connection.get()));
  if (status != PGRES_TUPLES_OK || PQntuples(result.get()) == 0) return -1;
  const int last = PQntuples(result.get()) - 1;
  return PQgetisnull(result.get(), last, 0) ? -1 : atoll(PQgetvalue(result.get(), last, 0));
}

void WaitUntilNoOtherStatementRuns() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (QueryServedHive("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                         "current_database() AND pid <> pg_backend_pid() AND state <> 'idle'") >
             0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServedHive::ServedHive(const std::string& serverDir)
    : serverDir_(serverDir), database_(UniqueDatabaseName()) {
  const Connection connection = ConnectAsSuperuser(serverDir_);
  const std::string created = Execute(connection.get(), "CREATE DATABASE " + database_);
  if (!created.empty()) throw std::runtime_error(created);
  conninfo_ = "host=" + serverDir_ + " dbname=" + database_ + " user=postgres";
  std::string message;
  if (registry_server::initServer(conninfo_, &message) != ERROR_SUCCESS) {
    const std::string dropped =
        Execute(connection.get(), "DROP DATABASE " + database_ + " WITH (FORCE)");
    throw std::runtime_error("cannot prepare the served hive in " + database_ + ": " + message +
                             (dropped.empty() ? "" : "; " + dropped));
  }
  setenv("VINTUTIL_MACHINE_HIVE", conninfo_.c_str(), 1);
}

ServedHive::~ServedHive() {
  unsetenv("VINTUTIL_MACHINE_HIVE");
  try {
    const Connection connection = ConnectAsSuperuser(serverDir_);
    const std::string dropped =
        Execute(connection.get(), "DROP DATABASE " + database_ + " WITH (FORCE)");
    if (!dropped.empty()) ADD_FAILURE() << dropped;
  } catch (const ServerUnreachable& e) {
    ADD_FAILURE() << e.what() << "; the database " << database_ << " is left on it";
  }
}
