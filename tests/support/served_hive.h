// A machine hive of its own for one test on the tests' PostgreSQL server
// (scripts/test-server): a fresh database, prepared as a served hive and
// named by VINTUTIL_MACHINE_HIVE while the object lives, dropped at its end.
// Linux only.
#ifndef VINTUTIL_TESTS_SERVED_HIVE_H
#define VINTUTIL_TESTS_SERVED_HIVE_H

#include <cstdint>
#include <stdexcept>
#include <string>

// The socket directory of the tests' server (VINTUTIL_TEST_SERVER), "" when
// the tests run on local hive files.
std::string TestServerDir();

// The server could not be reached at all.
struct ServerUnreachable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Runs `sql` (statements separated by ';') on the database of the machine
// hive now served (VINTUTIL_MACHINE_HIVE), with the hive's schema first on
// the search path: the first column of the last row it returns, -1 for
// none. Throws std::runtime_error when the server refuses it.
int64_t QueryServedHive(const std::string& sql);

// Waits until no other session runs a statement on the database of the
// machine hive now served: a client killed amid a write leaves its statement
// to finish, and commit, on the server.
void WaitUntilNoOtherStatementRuns();

class ServedHive {
 public:
  // Throws ServerUnreachable, or std::runtime_error when the server refused
  // to make the database or the hive in it.
  explicit ServedHive(const std::string& serverDir);
  ~ServedHive();
  ServedHive(const ServedHive&) = delete;
  ServedHive& operator=(const ServedHive&) = delete;

  // The connection string of the hive's database.
  const std::string& conninfo() const { return conninfo_; }

 private:
  std::string serverDir_;
  std::string database_;
  std::string conninfo_;
};

#endif
