#include "change_counter.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "hive_trust.h"
#include "sqlite_result.h"
#include "temporary_file.h"

namespace vreg {
namespace {

// The file: a magic number, then the counter (native byte order: the file
// is shared by the processes of one machine only).
constexpr char kMagic[8] = {'V', 'R', 'E', 'G', 'C', 'H', 'G', '1'};
constexpr size_t kFileSize = 16;
constexpr size_t kValueOffset = 8;

// How often a process without the file looks for it again.
constexpr std::chrono::milliseconds kLookAgain{100};

}  // namespace

ChangeCounter::ChangeCounter(std::string hivePath, HiveKind kind)
    : hivePath_(std::move(hivePath)), kind_(kind), path_(hivePath_ + "-changes") {}

ChangeCounter::~ChangeCounter() { unmap(); }

LONG ChangeCounter::map(bool writable) {
  struct stat hive;
  LONG result = checkHiveFile(hivePath_, kind_, &hive);
  if (result != ERROR_SUCCESS) return result;
  int fd = openCompanion(path_, hive, 0, writable ? O_RDWR : O_RDONLY, &result);
  if (fd < 0) return result;
  struct stat st;
  void* mapped = MAP_FAILED;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == off_t(kFileSize)) {
    mapped = mmap(nullptr, kFileSize, PROT_READ | (writable ? PROT_WRITE : 0), MAP_SHARED, fd, 0);
  }
  close(fd);
  if (mapped == MAP_FAILED) return ERROR_BADDB;
  if (memcmp(mapped, kMagic, sizeof kMagic) != 0) {
    munmap(mapped, kFileSize);
    return ERROR_BADDB;
  }
  unmap();
  value_ = reinterpret_cast<uint64_t*>(static_cast<char*>(mapped) + kValueOffset);
  writable_ = writable;
  return ERROR_SUCCESS;
}

void ChangeCounter::unmap() {
  if (value_) munmap(reinterpret_cast<char*>(value_) - kValueOffset, kFileSize);
  value_ = nullptr;
  writable_ = false;
}

// Builds the file under a temporary name and moves it into place whole,
// with the hive file's mode, group (and owner, for root): whoever may read
// the hive may read the counter, whoever may write it may advance it.
LONG ChangeCounter::create() {
  struct stat hive;
  LONG checked = checkHiveFile(hivePath_, kind_, &hive);
  if (checked != ERROR_SUCCESS) return checked;
  removeAbandonedTemporaries(path_);
  const std::string temp = temporaryNameFor(path_);
  int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  char content[kFileSize] = {};
  memcpy(content, kMagic, sizeof kMagic);
  LONG result = ERROR_SUCCESS;
  if (pwrite(fd, content, sizeof content, 0) != ssize_t(sizeof content) || fsync(fd) != 0) {
    result = errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  }
  if (result == ERROR_SUCCESS) result = matchCompanionToHive(fd, hive, 0666);
  close(fd);
  // Only a missing or damaged file is replaced, never one that is valid:
  // processes that mapped it would no longer see the changes.
  if (result == ERROR_SUCCESS && rename(temp.c_str(), path_.c_str()) != 0) {
    result = errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  }
  unlink(temp.c_str());
  return result;
}

bool ChangeCounter::stableStamp(uint64_t* stamp) {
  if (!value_) {
    auto now = std::chrono::steady_clock::now();
    if (now < nextLook_) return false;
    nextLook_ = now + kLookAgain;
    if (map(false) != ERROR_SUCCESS) return false;
  }
  uint64_t value = __atomic_load_n(value_, __ATOMIC_ACQUIRE);
  if (value & 1) return false;
  *stamp = value;
  return true;
}

LONG ChangeCounter::beginWrite(uint64_t* before) {
  if (!writable_) {
    LONG mapped = map(true);
    if (mapped == ERROR_FILE_NOT_FOUND || mapped == ERROR_BADDB) {
      mapped = create();
      if (mapped == ERROR_SUCCESS) mapped = map(true);
    }
    if (mapped != ERROR_SUCCESS) return mapped;
  }
  // Odd numbers: a write in progress, or a writer killed during one (moved
  // on here: only one writer holds the lock).
  uint64_t value = __atomic_load_n(value_, __ATOMIC_ACQUIRE);
  uint64_t odd;
  do {
    odd = value & 1 ? value + 2 : value + 1;
  } while (
      !__atomic_compare_exchange_n(value_, &value, odd, false, __ATOMIC_SEQ_CST, __ATOMIC_ACQUIRE));
  begun_ = odd;
  *before = value;
  return ERROR_SUCCESS;
}

bool ChangeCounter::endWrite(uint64_t* after) {
  if (!begun_) return false;
  // A writer that has begun since has moved the number on: it is its to end.
  uint64_t expected = begun_;
  const bool alone = __atomic_compare_exchange_n(value_, &expected, begun_ + 1, false,
                                                 __ATOMIC_SEQ_CST, __ATOMIC_RELAXED);
  *after = begun_ + 1;
  begun_ = 0;
  if (alone) wakeWaiters();
  return alone;
}

// The futex is the low half of the counter (futexes are 32 bits wide): it
// changes with every write, and a waiter compares it with the half it saw.
uint32_t* ChangeCounter::futexWord() const {
  return reinterpret_cast<uint32_t*>(value_) + (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 0 : 1);
}

bool ChangeCounter::current(uint64_t* value) {
  if (!value_ && map(false) != ERROR_SUCCESS) return false;
  *value = __atomic_load_n(value_, __ATOMIC_ACQUIRE);
  return true;
}

void ChangeCounter::waitForChange(uint64_t seen) {
  // Not FUTEX_PRIVATE_FLAG: the word is shared with other processes. EINTR
  // and EAGAIN (moved on already) both just return.
  syscall(SYS_futex, futexWord(), FUTEX_WAIT, uint32_t(seen), nullptr, nullptr, 0);
}

void ChangeCounter::wakeWaiters() {
  if (value_) syscall(SYS_futex, futexWord(), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace vreg
