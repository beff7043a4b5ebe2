#include "CatalogueReader.h"

namespace {

using com::Variant;

class TWalk {
public:
    TWalk(const dao::UsersPtr& users, const dao::GroupsPtr& groups, TPermRowWriter& writer,
          TCatalogueCounters& counters)
        : m_users(users), m_groups(groups), m_writer(writer), m_counters(counters) {}

    void Container(const dao::ContainerPtr& container) {
        const std::int32_t userCount = m_users->Count();
        for (std::int32_t j = 0; j < userCount; ++j) {
            ++m_counters.RowCount;
            AddContainerRow(*container, m_users->Item(Variant(j))->Name(), 'U');
        }
        const std::int32_t groupCount = m_groups->Count();
        for (std::int32_t j = 0; j < groupCount; ++j) {
            ++m_counters.RowCount;
            AddContainerRow(*container, m_groups->Item(Variant(j))->Name(), 'G');
        }
    }

    void Document(dao::Document& document, const std::string& containerName, TContainerClass cls) {
        const std::int32_t userCount = m_users->Count();
        for (std::int32_t j = 0; j < userCount; ++j) {
            ++m_counters.RowCount;
            AddDocumentRow(document, containerName, cls, m_users->Item(Variant(j))->Name(), 'U');
        }
        const std::int32_t groupCount = m_groups->Count();
        for (std::int32_t j = 0; j < groupCount; ++j) {
            ++m_counters.RowCount;
            AddDocumentRow(document, containerName, cls, m_groups->Item(Variant(j))->Name(), 'G');
        }
    }

private:
    // Sets UserName and reads both values; a failure leaves what was read and reports it.
    bool ReadPermissions(dao::SecuredObject& object, const std::string& name) {
        try {
            object.SetUserName(name);
            m_row.Explicit = object.Permissions();
            m_row.Effective = object.AllPermissions();
            return false;
        } catch (const std::exception&) {
            return true;
        }
    }

    void StartRow(const std::string& name, char kind) {
        m_row.Explicit = 0;
        m_row.Effective = 0;
        m_row.Seq = m_counters.RowCount;
        m_row.Kind = kind;
        m_row.UGName = name;
    }

    void AddContainerRow(dao::Container& container, const std::string& name, char kind) {
        StartRow(name, kind);
        const bool readFailed = ReadPermissions(container, name);
        if (m_row.Explicit != 0) ++m_counters.NonZeroCount;
        ++m_rowIndex;
        m_row.Inherit = container.Inherit() ? 'T' : 'F';
        m_row.Container = container.Name();
        m_row.ObjectName = ContainerObjectName;
        m_row.Owner = '-';
        FillPermissionCells(m_row, RowLevelContainer, ClassOfContainer(m_row.Container), {}, readFailed);
        if (container.Owner() == name) m_row.Owner = 'O';
        m_writer.WriteRow(m_rowIndex, m_row);
    }

    void AddDocumentRow(dao::Document& document, const std::string& containerName, TContainerClass cls,
                        const std::string& name, char kind) {
        StartRow(name, kind);
        const bool readFailed = ReadPermissions(document, name);
        if (m_row.Explicit != 0) ++m_counters.NonZeroCount;
        ++m_rowIndex;
        m_row.Container = containerName;
        m_row.ObjectName = document.Name();
        m_row.Inherit = '-';
        m_row.Owner = '-';
        FillPermissionCells(m_row, RowLevelDocument, cls, m_row.ObjectName, readFailed);
        if (document.Owner() == name) m_row.Owner = 'O';
        m_writer.WriteRow(m_rowIndex, m_row);
    }

    const dao::UsersPtr& m_users;
    const dao::GroupsPtr& m_groups;
    TPermRowWriter& m_writer;
    TCatalogueCounters& m_counters;
    TPermRow m_row;
    std::int32_t m_rowIndex = 0;
};

} // namespace

void FillPermissionCells(TPermRow& Row, int RowLevel, TContainerClass Class, std::string_view ObjectName,
                         bool ReadFailed) {
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c) {
        char letter;
        if (!ColumnApplies(c, Class, RowLevel, ObjectName))
            letter = '-';
        else if (ReadFailed)
            letter = '?';
        else
            letter = PermissionLetter(Row.Explicit, Row.Effective, c);
        Row.Letters[static_cast<std::size_t>(c - FirstPermColumn)] = letter;
    }
}

void WalkCatalogue(const dao::ContainersPtr& Containers, const dao::UsersPtr& Users,
                   const dao::GroupsPtr& Groups, TPermRowWriter& Writer, TCatalogueCounters& Counters) {
    Counters = {};
    TWalk walk(Users, Groups, Writer, Counters);
    const std::int32_t containerCount = Containers->Count();
    for (std::int32_t i = 0; i < containerCount; ++i) {
        dao::ContainerPtr container = Containers->Item(Variant(i));
        walk.Container(container);
        // The container's name and class are read again for its documents' rows.
        const std::string containerName = container->Name();
        const TContainerClass cls = ClassOfContainer(containerName);
        dao::DocumentsPtr documents = container->Documents();
        const std::int32_t documentCount = documents->Count();
        for (std::int32_t k = 0; k < documentCount; ++k) {
            dao::DocumentPtr document = documents->Item(Variant(k));
            walk.Document(*document, containerName, cls);
        }
    }
}

std::string PermRowCell(const TPermRow& Row, int Col) {
    switch (Col) {
    case colNum:
        return std::to_string(Row.Seq);
    case colContainer:
        return Row.Container;
    case colObjectName:
        return Row.ObjectName;
    case colUserGroup:
        return std::string(1, Row.Kind);
    case colUGName:
        return Row.UGName;
    case colPermExp:
        return PermHex(Row.Explicit);
    case colPermAll:
        return PermHex(Row.Effective);
    case colInherit:
        return std::string(1, Row.Inherit);
    case colOwner:
        return std::string(1, Row.Owner);
    default:
        if (Col >= FirstPermColumn && Col <= LastPermColumn)
            return std::string(1, Row.Letters[static_cast<std::size_t>(Col - FirstPermColumn)]);
        return {};
    }
}
