#pragma once
// Finding the container or document a permissions row names, for the commands of the window and of
// keyloupe-jet alike.
#include "dao/Dao.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Which object a permissions row stands for: its container's own or one of the container's documents.
enum class TRowKind : std::uint8_t { Container, Document };

// The kind of object a typed name stands for: the container itself for the container-row marker
// ContainerObjectName, else a document. The window never guesses so: it knows each row's kind from
// what the walk wrote, as a document may be named like the marker in files made elsewhere.
TRowKind RowKindOfObjectName(std::string_view objectName);

// The container of that name; fails with `Container "name" not found` when DAO gives no object.
dao::ContainerPtr FindContainer(const dao::ContainersPtr& containers, const std::string& containerName);

// The container itself for a container row (objectName is then not looked at), else its document of
// that name; fails with `Object "name" not found` when DAO gives no document.
std::shared_ptr<dao::SecuredObject> FindSecuredObject(const dao::ContainersPtr& containers,
                                                      const std::string& containerName,
                                                      const std::string& objectName, TRowKind kind);
