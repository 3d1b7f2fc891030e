// The numbers of the settings store read back from stored text: an interface
// parameter through GetSchnittPar as "%hu" and "%lu", and the matrix options
// through GetMatrixOptions as "%d, %d, %d, %d", compared with what glibc's
// sscanf makes of the same text with the same format, reduced to 16 or 32
// bits as the Windows runtime stores them. Where glibc saturates (a number
// beyond 64 bits) the Windows rule decides: the digits accumulate modulo
// 2^32.
//
// Input: the bytes of the stored REG_SZ value (at most what the store reads).
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VarnoRegInit.h"
#include "VarnoStrings.h"
#include "temp_registry_dir.h"

namespace {

constexpr char kParameter[] = "FUZZPAR";
// What the store reads at most: 1255 characters and the zero.
constexpr size_t kMaxStored = 1256;

[[noreturn]] void Fail(const std::string& text, const char* what, long long actual,
                       long long expected) {
  std::fprintf(stderr, "\"%s\": %s is %lld, expected %lld\n", text.c_str(), what, actual, expected);
  std::abort();
}

// Stores the input's bytes exactly: RegSetValueExA reads the byte after
// text (a zero there would be stored too), so a nonzero one follows them.
void WriteSetting(const char* section, const char* value, const uint8_t* data, size_t size) {
  const std::string path = std::string(VARNO_REG_BASEPATH) + section;
  std::vector<uint8_t> guarded(data, data + size);
  guarded.push_back(0xff);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS ||
      RegSetValueExA(key, value, 0, REG_SZ, guarded.data(), static_cast<DWORD>(size)) !=
          ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot write %s\\%s\n", path.c_str(), value);
    std::abort();
  }
  RegCloseKey(key);
}

// The number `number` (the text of one conversion, as sscanf consumed it)
// modulo 2^32 when the C library's strtol/strtoul, which sscanf's "%d" and
// "%u" use, saturated, else `scanned`.
uint32_t Reduce(const std::string& number, bool isSigned, unsigned long long scanned) {
  errno = 0;
  if (isSigned) {
    std::strtol(number.c_str(), nullptr, 10);
  } else {
    std::strtoul(number.c_str(), nullptr, 10);
  }
  if (errno != ERANGE) return static_cast<uint32_t>(scanned);
  const char* p = number.c_str();
  while (*p && !(*p >= '0' && *p <= '9') && *p != '-') ++p;
  const bool negative = *p == '-';
  uint32_t value = 0;
  for (; *p; ++p) {
    if (*p >= '0' && *p <= '9') value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  return negative ? 0u - value : value;
}

void CheckUnsigned(CVarnoRegInit& store, const std::string& text) {
  unsigned short w = 0;
  unsigned long dw = 0;
  int consumed = 0;
  uint32_t expected16 = 0, expected32 = 0;
  if (std::sscanf(text.c_str(), "%hu%n", &w, &consumed) == 1) {
    expected16 = static_cast<uint16_t>(Reduce(text.substr(0, consumed), false, w));
  }
  if (std::sscanf(text.c_str(), "%lu%n", &dw, &consumed) == 1) {
    expected32 = Reduce(text.substr(0, consumed), false, dw);
  }
  unsigned short wActual = 0x5a5a;
  unsigned long dwActual = 0x5a5a5a5a;
  if (store.GetSchnittPar(kParameter, wActual) != 0) Fail(text, "the %hu result", -1, 0);
  if (store.GetSchnittPar(kParameter, dwActual) != 0) Fail(text, "the %lu result", -1, 0);
  if (wActual != expected16) Fail(text, "%hu", wActual, expected16);
  if (dwActual != expected32) Fail(text, "%lu", static_cast<long long>(dwActual), expected32);
}

void CheckMatrix(CVarnoRegInit& store, const std::string& text) {
  constexpr int kUntouched[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
  int scanned[4] = {kUntouched[0], kUntouched[1], kUntouched[2], kUntouched[3]};
  int end[4] = {};
  const int matched = std::sscanf(text.c_str(), "%d%n, %d%n, %d%n, %d%n", &scanned[0], &end[0],
                                  &scanned[1], &end[1], &scanned[2], &end[2], &scanned[3], &end[3]);
  int expected[4];
  for (int i = 0; i < 4; ++i) {
    if (i >= matched) {
      expected[i] = kUntouched[i];
      continue;
    }
    // The number's text: after the comma that precedes it, up to its end.
    const int start = i == 0 ? 0 : end[i - 1] + 1;
    const uint32_t low =
        Reduce(text.substr(start, end[i] - start), true,
               static_cast<unsigned long long>(static_cast<long long>(scanned[i])));
    expected[i] = static_cast<int>(low);
  }
  int actual[4] = {kUntouched[0], kUntouched[1], kUntouched[2], kUntouched[3]};
  if (store.GetMatrixOptions(&actual[0], &actual[1], &actual[2], &actual[3]) != 0) {
    Fail(text, "the matrix result", -1, 0);
  }
  for (int i = 0; i < 4; ++i) {
    if (actual[i] != expected[i]) Fail(text, "a matrix option", actual[i], expected[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseTempRegistryDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxStored) size = kMaxStored;
  WriteSetting(VARNO_SEC_SCHNITTSTELLEN, kParameter, data, size);
  WriteSetting(VARNO_SEC_OPTIONEN, VARNO_VAL_MATRIX, data, size);
  // The store reads the text up to its first zero, never beyond the bytes.
  const std::string text(reinterpret_cast<const char*>(data),
                         strnlen(reinterpret_cast<const char*>(data), size));
  CVarnoRegInit store;
  CheckUnsigned(store, text);
  CheckMatrix(store, text);
  return 0;
}
