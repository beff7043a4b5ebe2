#pragma once
// Where a sandbox came from: the genuine workgroup file and database it was imported from, as they were
// at the import, who imported them, when, and with which Keyloupe. Kept inside the sandbox database as
// text of "key=value" lines; the values are single lines.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plan {

struct OriginFile {
    std::string path; // absolute path at the import
    std::uint64_t size = 0;
    std::string sha256;   // lower-case hexadecimal
    std::string modified; // modification time, UTC, "YYYY-MM-DDTHH:MM:SSZ"
};

struct OriginRecord {
    OriginFile workgroup;
    OriginFile database;
    std::string user;       // the account the import was made as
    std::string importedAt; // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string keyloupeVersion;
    std::string jetFormat; // the origin database's format: "3.0" or "4.0"
};

std::string FormatOriginRecord(const OriginRecord& record);
// Throws std::runtime_error naming the first line it cannot take.
OriginRecord ParseOriginRecord(std::string_view text);

} // namespace plan
