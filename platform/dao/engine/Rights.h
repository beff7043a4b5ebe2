#pragma once
// Jet permission bits the engine itself enforces, and the object types it writes to MSysObjects.
#include <cstdint>

namespace dao::engine {

inline constexpr std::int32_t kCreate = 0x1;
inline constexpr std::int32_t kDBOpen = 0x2;
inline constexpr std::int32_t kDBExclusive = 0x4;
inline constexpr std::int32_t kDBAdmin = 0x8;
inline constexpr std::int32_t kReadDef = 0x4;
inline constexpr std::int32_t kRetrieveData = 0x10; // the bit that revoking RetrieveData clears
inline constexpr std::int32_t kReadSec = 0x20000;
inline constexpr std::int32_t kWriteSec = 0x40000;
inline constexpr std::int32_t kWriteOwner = 0x80000;

inline constexpr std::int32_t kTypeTable = 1;
inline constexpr std::int32_t kTypeDatabaseDocument = 2;
inline constexpr std::int32_t kTypeContainer = 3;
inline constexpr std::int32_t kTypeRelationship = 8;
inline constexpr std::int32_t kTypeForm = -32768;
inline constexpr std::int32_t kTypeReport = -32764;
inline constexpr std::int32_t kTypeScript = -32766;
inline constexpr std::int32_t kTypeModule = -32761;
inline constexpr std::int32_t kTypeDataAccessPage = -32756;

inline constexpr std::int32_t kFlagsSystem = static_cast<std::int32_t>(0x80000002u);

} // namespace dao::engine
