#pragma once
// Temporary query definitions: one SELECT statement run by SQLite under an authorizer that lets it read
// only the tables on which the logged-in account holds RetrieveData.
#include "dao/engine/Session.h"

namespace dao::engine {

QueryDefPtr makeTemporaryQuery(const SessionPtr& session, const std::string& sql);

} // namespace dao::engine
