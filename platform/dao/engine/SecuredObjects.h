#pragma once
// Containers and documents of an open database, with their security members.
#include "dao/engine/Session.h"

namespace dao::engine {

ContainersPtr makeContainers(const SessionPtr& session);
// A document object for an object index (used by CreateDocument).
DocumentPtr makeDocument(const SessionPtr& session, std::uint32_t obj);

} // namespace dao::engine
