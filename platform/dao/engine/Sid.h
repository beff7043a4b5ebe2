#pragma once
// Security identifiers: byte strings of 1 to 128 bytes, kept inline. The engine's own are derived, never
// random: a keyed hash of what identifies the account (16 bytes), so an account re-created with the same
// name and PID gets back the same SID, and with it every permission and ownership that databases still
// hold for it. A sandbox copy of a genuine pair keeps the genuine SIDs as they are (2 to 102 bytes).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace dao::engine {

struct Sid {
    static constexpr std::size_t kDerivedSize = 16;
    static constexpr std::size_t kMaxSize = 128;

    // A blob of 1 to 128 bytes; any other size gives the all-zero SID of the derived size.
    static Sid fromBlob(std::string_view blob);
    const void* data() const { return bytes.data(); }
    std::size_t size() const { return length; }
    std::string_view blob() const { return {reinterpret_cast<const char*>(bytes.data()), length}; }
    std::string hex() const;
    friend bool operator==(const Sid& a, const Sid& b) {
        return a.length == b.length && std::memcmp(a.bytes.data(), b.bytes.data(), a.length) == 0;
    }

    std::uint8_t length = kDerivedSize;
    std::array<std::uint8_t, kMaxSize> bytes{};
};

struct SidHash {
    std::size_t operator()(const Sid& s) const noexcept { return std::hash<std::string_view>()(s.blob()); }
};

// A user or group created with name and PID (the name is case-folded first).
Sid accountSid(std::string_view name, std::string_view pid);
// The Admins group of a workgroup, from the workgroup's name, organisation and id.
Sid adminsSid(std::string_view name, std::string_view organisation, std::string_view workgroupId);
// The built-in accounts that have the same SID in every workgroup.
Sid adminUserSid();
Sid usersGroupSid();
Sid engineUserSid();
Sid creatorUserSid();

// The built-in accounts of one workgroup file: the engine's own derived SIDs, or, in a sandbox, the
// ones every genuine workgroup file holds (admin 03 01, Users 02 01, Engine 02 03, Creator 02 04).
struct BuiltinSids {
    Sid admin, users, engine, creator;
};
BuiltinSids ownBuiltins();
BuiltinSids genuineBuiltins();

} // namespace dao::engine
