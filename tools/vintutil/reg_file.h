// The .reg text format of regedit: its content as data, the parser and the
// writer. Pure functions on bytes, with no registry or file access, so they
// can be tested and fuzzed alone.
//
// Value data is held as the registry stores it here: text types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) as 8-bit UTF-8 bytes with their terminating
// zeros. A Unicode file ("Windows Registry Editor Version 5.00", UTF-16LE)
// writes the hex forms of those types as UTF-16LE, as Windows does; the
// conversion is done here, both ways, losslessly (see text_encoding.h).
// A REGEDIT4 file is 8-bit text in a Windows code page (Windows-1252 unless
// told otherwise), converted here too, both ways (see code_page.h).
#ifndef VINTUTIL_CLI_REG_FILE_H
#define VINTUTIL_CLI_REG_FILE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"

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
  unsigned codePage = kDefaultCodePage;  // of the 8-bit text of a REGEDIT4 file
};

struct RegFileParseResult {
  bool ok = false;
  RegFile file;
  int errorLine = 0;  // 1-based line of the fault when !ok
  std::string error;  // why the file is refused
};

// Parses a whole file, reading a REGEDIT4 file's text in `codePage`. A fault
// anywhere refuses the whole file. What regedit accepts is read: line ends
// CR LF, LF or CR alone; ; comments after the data and between continued
// hex lines; hex bytes of one or more digits up to ff; \n and \r escapes
// (as Wine's regedit writes them) besides \\ and \" in quoted texts.
RegFileParseResult ParseRegFile(std::string_view bytes, unsigned codePage = kDefaultCodePage);

// The bytes of the file as regedit writes it: CRLF line ends, hex data
// wrapped at 80 columns, text values quoted with \ and " escaped. A REG_SZ
// that is not exactly one line of text with one terminating zero, and a
// REG_DWORD that is not 4 bytes, are written in hex form so that they come
// back byte for byte.
// Requires UnwritableName(file) to be empty.
std::string SerializeRegFile(const RegFile& file);

// Why the file cannot be written as .reg text, or empty when it can: the
// format has no escape for a line break that Windows reads, so a key or value
// name holding one would not come back; and a REGEDIT4 file holds only the
// characters of its code page, and only valid text.
std::string UnwritableName(const RegFile& file);

#endif
