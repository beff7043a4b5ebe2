#include "security/CatalogueReader.h"

#include <limits>
#include <vector>

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
            AddContainerRow(*container, AccountName(m_userNames, *m_users, j), 'U');
        }
        const std::int32_t groupCount = m_groups->Count();
        for (std::int32_t j = 0; j < groupCount; ++j) {
            ++m_counters.RowCount;
            AddContainerRow(*container, AccountName(m_groupNames, *m_groups, j), 'G');
        }
    }

    void Document(dao::Document& document, const std::string& containerName, TContainerClass cls) {
        // The document's name and owner hold for all of its rows: read at its first row.
        m_haveDocumentName = m_haveDocumentOwner = false;
        const std::int32_t userCount = m_users->Count();
        for (std::int32_t j = 0; j < userCount; ++j) {
            ++m_counters.RowCount;
            AddDocumentRow(document, containerName, cls, AccountName(m_userNames, *m_users, j), 'U');
        }
        const std::int32_t groupCount = m_groups->Count();
        for (std::int32_t j = 0; j < groupCount; ++j) {
            ++m_counters.RowCount;
            AddDocumentRow(document, containerName, cls, AccountName(m_groupNames, *m_groups, j), 'G');
        }
    }

private:
    // The accounts do not change during the walk: each name is read once, where it was first needed.
    struct Names {
        std::vector<std::string> text;
        std::vector<bool> read;
    };
    template <class Collection>
    static const std::string& AccountName(Names& names, Collection& accounts, std::int32_t j) {
        const auto i = static_cast<std::size_t>(j);
        if (i >= names.text.size()) {
            names.text.resize(i + 1);
            names.read.resize(i + 1, false);
        }
        if (!names.read[i]) {
            names.text[i] = accounts.Item(Variant(j))->Name();
            names.read[i] = true;
        }
        return names.text[i];
    }

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

    // The letters depend only on the values read and on what applies to the row: rows alike in those
    // reuse the letters of the row before.
    void FillLetters(int rowLevel, TContainerClass cls, std::string_view objectName, bool readFailed) {
        const LetterKey key{rowLevel,       cls, objectName == "MSysDb", readFailed, m_row.Explicit,
                            m_row.Effective};
        if (m_haveLetters && key == m_lettersKey) {
            m_row.Letters = m_letters;
            return;
        }
        FillPermissionCells(m_row, rowLevel, cls, objectName, readFailed);
        m_letters = m_row.Letters;
        m_lettersKey = key;
        m_haveLetters = true;
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
        FillLetters(RowLevelContainer, ClassOfContainer(m_row.Container), {}, readFailed);
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
        if (!m_haveDocumentName) {
            m_row.ObjectName = document.Name();
            m_haveDocumentName = true;
        }
        m_row.Inherit = '-';
        m_row.Owner = '-';
        FillLetters(RowLevelDocument, cls, m_row.ObjectName, readFailed);
        if (!m_haveDocumentOwner) {
            m_documentOwner = document.Owner();
            m_haveDocumentOwner = true;
        }
        if (m_documentOwner == name) m_row.Owner = 'O';
        m_writer.WriteRow(m_rowIndex, m_row);
    }

    struct LetterKey {
        int rowLevel;
        TContainerClass cls;
        bool databaseObject;
        bool readFailed;
        std::int32_t explicitPerms;
        std::int32_t effectivePerms;
        bool operator==(const LetterKey&) const = default;
    };

    const dao::UsersPtr& m_users;
    const dao::GroupsPtr& m_groups;
    TPermRowWriter& m_writer;
    TCatalogueCounters& m_counters;
    TPermRow m_row;
    std::int32_t m_rowIndex = 0;
    Names m_userNames, m_groupNames;
    std::string m_documentOwner;
    bool m_haveDocumentName = false, m_haveDocumentOwner = false;
    LetterKey m_lettersKey{};
    decltype(TPermRow::Letters) m_letters{};
    bool m_haveLetters = false;
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

namespace {

// Tells the writer how many rows the walk will write, so that it can size its storage once. A failure
// here only loses the hint: the walk itself meets and reports it.
void ExpectRows(const dao::ContainersPtr& containers, const dao::UsersPtr& users,
                const dao::GroupsPtr& groups, TPermRowWriter& writer) {
    try {
        std::int64_t objects = containers->Count();
        for (std::int32_t i = 0; i < containers->Count(); ++i)
            objects += containers->Item(Variant(i))->Documents()->Count();
        const std::int64_t rows = objects * (std::int64_t(users->Count()) + groups->Count());
        if (rows <= std::numeric_limits<std::int32_t>::max())
            writer.ExpectRows(static_cast<std::int32_t>(rows));
    } catch (const std::exception&) {
    }
}

} // namespace

void WalkCatalogue(const dao::ContainersPtr& Containers, const dao::UsersPtr& Users,
                   const dao::GroupsPtr& Groups, TPermRowWriter& Writer, TCatalogueCounters& Counters) {
    Counters = {};
    ExpectRows(Containers, Users, Groups, Writer);
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
