#pragma once
// Whether a sandbox's origin files are still what was imported.
#include "plan/OriginRecord.h"

#include <string>
#include <vector>

namespace plan {

// The sha256 of a file's content in lower-case hexadecimal; throws std::runtime_error naming the file
// when it cannot be read.
std::string FileSha256(const std::string& path);

// One sentence for each origin file that is gone or whose content (sha256) differs from the record's:
// the changes of a sandbox are then against a pair that no longer stands as it did. The paths are shown
// visibly and isolated (ShownName).
std::vector<std::string> OriginChangedNotes(const OriginRecord& record);

} // namespace plan
