#include "dao/engine/Sid.h"

#include "dao/engine/Names.h"
#include "dao/engine/Password.h"

#include <sodium.h>

namespace dao::engine {
namespace {

// The engine's derivation key. It is not a secret: it only separates this engine's SIDs from any other
// use of the same hash.
constexpr unsigned char kSidKey[crypto_generichash_KEYBYTES] = {
    'K', 'e', 'y', 'l', 'o', 'u', 'p', 'e', ' ', 'J', 'e', 't', ' ', 'S', 'I', 'D',
    ' ', 'd', 'e', 'r', 'i', 'v', 'a', 't', 'i', 'o', 'n', ' ', 'k', 'e', 'y', '1'};

// Hashes the parts, each followed by its length, so that no two different part lists collide by
// concatenation.
Sid derive(std::initializer_list<std::string_view> parts) {
    ensureSodium();
    crypto_generichash_state st;
    crypto_generichash_init(&st, kSidKey, sizeof kSidKey, Sid::kDerivedSize);
    for (std::string_view p : parts) {
        crypto_generichash_update(&st, reinterpret_cast<const unsigned char*>(p.data()), p.size());
        const std::uint64_t n = p.size();
        unsigned char len[8];
        for (int i = 0; i < 8; ++i)
            len[i] = static_cast<unsigned char>(n >> (8 * i));
        crypto_generichash_update(&st, len, sizeof len);
    }
    Sid sid;
    crypto_generichash_final(&st, sid.bytes.data(), Sid::kDerivedSize);
    return sid;
}

} // namespace

Sid Sid::fromBlob(std::string_view blob) {
    Sid s;
    if (blob.empty() || blob.size() > kMaxSize) return s;
    s.length = static_cast<std::uint8_t>(blob.size());
    std::memcpy(s.bytes.data(), blob.data(), blob.size());
    return s;
}

std::string Sid::hex() const {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

Sid accountSid(std::string_view name, std::string_view pid) {
    return derive({"account", foldCase(name), pid});
}

Sid adminsSid(std::string_view name, std::string_view organisation, std::string_view workgroupId) {
    return derive({"admins", name, organisation, workgroupId});
}

Sid adminUserSid() {
    return derive({"builtin", "admin"});
}
Sid usersGroupSid() {
    return derive({"builtin", "users"});
}
Sid engineUserSid() {
    return derive({"builtin", "engine"});
}
Sid creatorUserSid() {
    return derive({"builtin", "creator"});
}

BuiltinSids ownBuiltins() {
    static const BuiltinSids own{adminUserSid(), usersGroupSid(), engineUserSid(), creatorUserSid()};
    return own;
}

BuiltinSids genuineBuiltins() {
    auto two = [](char a, char b) {
        const char bytes[2] = {a, b};
        return Sid::fromBlob(std::string_view(bytes, 2));
    };
    return {two(3, 1), two(2, 1), two(2, 3), two(2, 4)};
}

} // namespace dao::engine
