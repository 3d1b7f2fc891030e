// The .reg text format of regedit: its content as data, the parser and the
// writer. Pure functions on bytes, with no registry or file access, so they
// can be tested and fuzzed alone.
//
// Value data is held as the registry stores it here: text types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) as 8-bit UTF-8 bytes with their terminating
// zeros. A Unicode file ("Windows Registry Editor Version 5.00", UTF-16LE)
// writes the hex forms of those types as UTF-16LE, as Windows does; the
// conversion is done here, both ways, losslessly (see text_encoding.h).
// A REGEDIT4 file is 8-bit and carries every byte unchanged.
#ifndef VINTUTIL_CLI_REG_FILE_H
#define VINTUTIL_CLI_REG_FILE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class RegFileFormat {
  kUnicode,   // "Windows Registry Editor Version 5.00", UTF-16LE with byte-order mark
  kRegedit4,  // "REGEDIT4", 8-bit
};

// One line of a key block: a value to set, or to delete ("name"=-).
struct RegFileValue {
  std::string name;  // empty: the key's default value, written @
  bool remove = false;
  uint32_t type = 0;
  std::vector<unsigned char> data;
  int line = 0;  // first line of the value in the file (0 when not parsed)

  bool operator==(const RegFileValue& o) const {
    return name == o.name && remove == o.remove && type == o.type && data == o.data;
  }
};

// A [KEY] block, or a [-KEY] deletion of the key and everything below it.
struct RegFileKey {
  std::string path;  // as written, root included: HKEY_LOCAL_MACHINE\SOFTWARE\...
  bool remove = false;
  std::vector<RegFileValue> values;
  int line = 0;

  bool operator==(const RegFileKey& o) const {
    return path == o.path && remove == o.remove && values == o.values;
  }
};

struct RegFile {
  RegFileFormat format = RegFileFormat::kUnicode;
  std::vector<RegFileKey> keys;
};

struct RegFileParseResult {
  bool ok = false;
  RegFile file;
  int errorLine = 0;  // 1-based line of the fault when !ok
  std::string error;  // why the file is refused
};

// Parses a whole file. A fault anywhere refuses the whole file.
RegFileParseResult ParseRegFile(std::string_view bytes);

// The bytes of the file as regedit writes it: CRLF line ends, hex data
// wrapped at 80 columns, text values quoted with \ and " escaped. A REG_SZ
// that is not exactly one line of text with one terminating zero, and a
// REG_DWORD that is not 4 bytes, are written in hex form so that they come
// back byte for byte.
std::string SerializeRegFile(const RegFile& file);

// Why the file cannot be written as .reg text, or empty when it can: the
// format has no escape for a line break, so a key or value name holding one
// would not come back.
std::string UnwritableName(const RegFile& file);

#endif
