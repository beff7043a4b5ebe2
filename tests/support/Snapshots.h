#pragma once
// Hand-built security catalogues for the comparison's tests, and small edits of them.
#include "dao/CatalogueSnapshot.h"

#include <cstdint>
#include <string>

namespace kltest {

// A shop's catalogue. Accounts (SID bytes in brackets): users admin [A], alice [L], bob [B]; groups
// Admins [D], Users [S], Sales [E]. admin is in Admins and Users, alice in Users and Sales, bob in Users.
// Objects: containers Tables, Forms, Databases; documents Tables \ Orders, Tables \ Customers,
// Forms \ Main, Databases \ MSysDb, all owned by admin but Orders (alice). Entries: Users 0x14 on Orders
// and 0x2 on MSysDb, Sales 0x74 inheritable on Tables, alice 0 on Customers, and the unknown SID [Z]
// 0x4 on Customers.
dao::CatalogueSnapshot shopSnapshot();

// Sets an entry (adds it when missing).
void setEntry(dao::CatalogueSnapshot& s, const std::string& container, const std::string& object,
              const std::string& sid, std::int32_t permissions, bool inheritable = false);
// Sets the owner of an object; throws when there is no such object.
void setOwnerSid(dao::CatalogueSnapshot& s, const std::string& container, const std::string& object,
                 const std::string& sid);
// Removes an account and its memberships (its entries stay, as Jet leaves them).
void removeAccount(dao::CatalogueSnapshot& s, const std::string& sid);
// Removes one membership.
void removeMembership(dao::CatalogueSnapshot& s, const std::string& userSid, const std::string& groupSid);

} // namespace kltest
