#pragma once
// Reads one named section of an ELF executable straight from the file (64-bit little-endian only).
#include <QByteArray>
#include <QString>

#include <optional>

namespace win {

// The bytes of the section called sectionName in the ELF file at path; nothing when the file cannot
// be read, is not a 64-bit little-endian ELF file, is malformed, or has no such section with
// contents in the file.
std::optional<QByteArray> readElfSection(const QString& path, const QByteArray& sectionName);

} // namespace win
