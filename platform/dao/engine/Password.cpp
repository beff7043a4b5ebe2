#include "dao/engine/Password.h"

#include "dao/engine/ErrorLog.h"

#include <sodium.h>

namespace dao::engine {
namespace {

// Two passes over 19 MiB, the usual minimum for Argon2id: about 20-50 ms per hash on a small machine.
// Each stored hash carries its own parameters, so hashes made with earlier, smaller ones still verify;
// a password gets the current parameters when it is next set.
constexpr unsigned long long kOpsLimit = 2;
constexpr std::size_t kMemLimit = 19u << 20;

} // namespace

void ensureSodium() {
    static const int ok = sodium_init();
    if (ok < 0) fail(errUnexpected, "The cryptography library could not be initialised.");
}

std::string hashPassword(std::string_view password) {
    ensureSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), kOpsLimit, kMemLimit) != 0)
        fail(errUnexpected, "Out of memory while protecting a password.");
    return out;
}

bool verifyPassword(const std::string& hash, std::string_view password) {
    ensureSodium();
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

void verifyAgainstNothing(std::string_view password) {
    static const std::string dummy = hashPassword("\x01 no account \x01");
    (void)verifyPassword(dummy, password);
}

} // namespace dao::engine
