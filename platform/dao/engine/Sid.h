#pragma once
// Security identifiers. SIDs are derived, never random: a keyed hash of what identifies the account, so
// an account re-created with the same name and PID gets back the same SID, and with it every permission
// and ownership that databases still hold for it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace dao::engine {

struct Sid {
    std::array<std::uint8_t, 16> bytes{};

    static Sid fromBlob(std::string_view blob); // a wrong-sized blob gives the all-zero SID
    const void* data() const { return bytes.data(); }
    static constexpr std::size_t size() { return 16; }
    std::string hex() const;
    friend bool operator==(const Sid&, const Sid&) = default;
};

struct SidHash {
    std::size_t operator()(const Sid& s) const noexcept {
        std::uint64_t a;
        std::memcpy(&a, s.bytes.data(), sizeof a);
        return static_cast<std::size_t>(a);
    }
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

} // namespace dao::engine
