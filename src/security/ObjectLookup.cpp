#include "security/ObjectLookup.h"

#include "security/CatalogueReader.h"

#include <stdexcept>

namespace {

std::runtime_error notFound(const char* what, const std::string& name) {
    return std::runtime_error(std::string(what) + " \"" + name + "\" not found");
}

} // namespace

TRowKind RowKindOfObjectName(std::string_view objectName) {
    return objectName == ContainerObjectName ? TRowKind::Container : TRowKind::Document;
}

dao::ContainerPtr FindContainer(const dao::ContainersPtr& containers, const std::string& containerName) {
    dao::ContainerPtr container = containers->Item(com::Variant(containerName));
    if (!container) throw notFound("Container", containerName);
    return container;
}

std::shared_ptr<dao::SecuredObject> FindSecuredObject(const dao::ContainersPtr& containers,
                                                      const std::string& containerName,
                                                      const std::string& objectName, TRowKind kind) {
    dao::ContainerPtr container = FindContainer(containers, containerName);
    if (kind == TRowKind::Container) return container;
    dao::DocumentPtr document = container->Documents()->Item(com::Variant(objectName));
    if (!document) throw notFound("Object", objectName);
    return document;
}
