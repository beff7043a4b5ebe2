#pragma once
// The version library: reads the version block that the build embeds in an executable
// (cmake/VersionResource.cmake) and answers queries on it as VerQueryValue does.
//
// The block lives in the ELF section ".kl_version". Layout, all integers 32-bit little-endian:
//
//   offset  0  magic "KLVERBLK" (8 bytes, no terminator)
//   offset  8  format version, 1
//   offset 12  block size in bytes, the whole block from the magic on
//   offset 16  translation count N, at least 1
//   offset 20  N translations: language in the low 16 bits, code page in the high 16 bits
//              (this array is the value of "\VarFileInfo\Translation")
//   then N string tables, one per translation and in the same order, each:
//              table size in bytes (counting this field), entry count,
//              then per entry the key and the value, each terminated by a zero byte.
//
// The string table of a translation is addressed by its name "%04X%04X" of language and code page,
// e.g. "040904E4" for U.S. English in code page 1252. Texts are 8-bit in the code page of their table.
#include <cstdint>

namespace win {

inline constexpr char kVersionSectionName[] = ".kl_version";
inline constexpr char kVersionBlockMagic[8] = {'K', 'L', 'V', 'E', 'R', 'B', 'L', 'K'};
inline constexpr std::uint32_t kVersionBlockFormat = 1;

// Size in bytes of the version block of the executable fileName; 0 when it has none or it cannot be
// read. *handle (if given) is set to 0.
std::uint32_t GetFileVersionInfoSizeA(const char* fileName, std::uint32_t* handle);

// Copies the version block of fileName into data, which holds len bytes. Fails when the file has no
// well-formed block or len is smaller than the block. handle is ignored.
bool GetFileVersionInfoA(const char* fileName, std::uint32_t handle, std::uint32_t len, void* data);

// Looks up subBlock in a block filled by GetFileVersionInfoA:
//   "\VarFileInfo\Translation"            the translation array; *len its size in bytes
//   "\StringFileInfo\<translation>"       the string table; *len its size in bytes
//   "\StringFileInfo\<translation>\<key>" the zero-terminated value; *len its length in characters
//                                         counting the terminator, 0 for an empty value
// Names are matched without regard to ASCII letter case. *buffer points into block.
bool VerQueryValueA(const void* block, const char* subBlock, void** buffer, std::uint32_t* len);

} // namespace win
