#pragma once
// Passwords are kept only as salted slow hashes (Argon2id through libsodium), tuned so that one login
// costs about 20-50 ms.
#include <string>
#include <string_view>

namespace dao::engine {

// Initialises libsodium once; every user of it calls this first.
void ensureSodium();

std::string hashPassword(std::string_view password);
bool verifyPassword(const std::string& hash, std::string_view password);
// Spends the time of one verification without a stored hash, so that an unknown account name cannot be
// told from a wrong password by timing.
void verifyAgainstNothing(std::string_view password);

} // namespace dao::engine
