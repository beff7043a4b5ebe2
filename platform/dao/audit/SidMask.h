#pragma once
// Jet 4 databases store the SIDs of owners and access control entries XORed with an RC4 keystream whose
// key is derived from the (itself RC4-encoded) database header. Jet 3 databases and workgroup files of
// either version store SIDs as they are.
#include <cstdint>
#include <string>
#include <string_view>

namespace dao::audit {

class SidMask {
public:
    // No masking (Jet 3 databases).
    SidMask() = default;
    // The mask of a Jet 4 database, from its first page as stored. Fails with std::runtime_error when
    // the header is too short.
    static SidMask fromJet4Header(std::string_view header);

    std::string unmask(std::string_view stored) const;

private:
    bool active_ = false;
    std::string stream_; // the keystream's first bytes; SIDs are at most this long
};

// RC4 keystream of the given length for key.
std::string rc4Keystream(std::string_view key, std::size_t length);

} // namespace dao::audit
