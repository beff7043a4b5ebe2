#include "DatabaseOpen.h"

namespace dao::engine {

DatabasePtr openDatabase(const WorkspaceStatePtr&, const std::string&, bool, bool) {
    fail(errNotSupported, "Databases are not available yet.");
}
DatabasePtr createDatabase(const WorkspaceStatePtr&, const std::string&, const std::string&) {
    fail(errNotSupported, "Databases are not available yet.");
}

} // namespace dao::engine
