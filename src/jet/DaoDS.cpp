#include "jet/DaoDS.h"

#include "com/ClassRegistry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

const char* const ClosedDatabase = "Cannot perform this operation on a closed database";
const char* const OpenDatabase = "Cannot perform this operation on an open database";

bool isIdentChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameTextAscii(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// Names of ":name" parameters outside quoted texts and bracketed names, first appearance order.
std::vector<std::string> parseParamNames(const std::string& sql) {
    std::vector<std::string> names;
    const std::size_t n = sql.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < n && sql[j] != close)
                ++j;
            i = j;
            continue;
        }
        if (c != ':' || i + 1 >= n || !isIdentChar(sql[i + 1])) continue;
        if (i > 0 && (isIdentChar(sql[i - 1]) || sql[i - 1] == ':')) continue;
        std::size_t j = i + 1;
        while (j < n && isIdentChar(sql[j]))
            ++j;
        std::string name = sql.substr(i + 1, j - i - 1);
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& s) { return sameTextAscii(s, name); }))
            names.push_back(std::move(name));
        i = j - 1;
    }
    return names;
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Engine creation

std::string DAOEngineClassId(TDAOVersion version, bool privateEngine) {
    if (version == dvDAO35) return privateEngine ? dao::CLSID_PrivDBEngine35 : dao::CLSID_DBEngine35;
    return privateEngine ? dao::CLSID_PrivDBEngine36 : dao::CLSID_DBEngine36;
}

dao::DBEnginePtr CreateDAOEngine(TDAOVersion version, bool privateEngine) {
    const std::string clsid = DAOEngineClassId(version, privateEngine);
    return DAOCall([&] { return com::createInstanceAs<dao::DBEngine>(clsid, dao::IID_DBEngine); });
}

std::string DAOErrorsMessage(const dao::DBEnginePtr& engine) {
    return DAOCall([&] {
        dao::ErrorsPtr errors = engine->Errors();
        errors->Refresh();
        std::string message;
        for (int i = errors->Count() - 1; i >= 0; --i) {
            message += '\r';
            message += errors->Item(com::Variant(static_cast<std::int32_t>(i)))->Description();
            if (message.back() == '.') message.pop_back();
        }
        return message;
    });
}

// ---------------------------------------------------------------------------------------------------
// TDAODataSet

TDAODataSet::~TDAODataSet() {
    if (database_) database_->unlinkDataSet(this);
}

void TDAODataSet::SetDatabase(TDAODatabase* database) {
    if (database == database_) return;
    Close();
    if (database_) database_->unlinkDataSet(this);
    database_ = database;
    if (database_) database_->linkDataSet(this);
}

void TDAODataSet::Open() {
    throw EDatabaseError(name_ + ": Operation not supported");
}

void TDAODataSet::registerOpened() {
    if (database_) database_->dataSetOpened(this);
}

void TDAODataSet::registerClosed() {
    if (database_) database_->dataSetClosed(this);
}

// ---------------------------------------------------------------------------------------------------
// TDAODatabase

TDAODatabase::TDAODatabase(std::string name) : name_(std::move(name)) {}

TDAODatabase::~TDAODatabase() {
    try {
        doClose();
    } catch (...) {
        // Closing releases the objects whatever a dataset did; nothing may leave a destructor.
    }
    for (TDAODataSet* dataSet : linkedDataSets_)
        dataSet->database_ = nullptr;
}

void TDAODatabase::checkClosed() const {
    if (Connected()) throw EDatabaseError(OpenDatabase);
}

void TDAODatabase::checkOpen() const {
    if (!Connected()) throw EDatabaseError(ClosedDatabase);
}

void TDAODatabase::setWhileClosed(std::string& field, const std::string& value) {
    if (field == value) return;
    checkClosed();
    field = value;
}

void TDAODatabase::SetDatabaseName(const std::string& value) {
    setWhileClosed(databaseName_, value);
}

void TDAODatabase::SetDatabaseConnect(const std::string& value) {
    setWhileClosed(databaseConnect_, value);
}

std::string TDAODatabase::SystemDB() const {
    if (engine_) return DAOCall([&] { return engine_->SystemDB(); });
    return systemDB_;
}

void TDAODatabase::SetSystemDB(const std::string& value) {
    checkClosed();
    systemDB_ = value;
}

void TDAODatabase::SetUserName(const std::string& value) {
    checkClosed();
    userName_ = value;
}

void TDAODatabase::SetPassword(const std::string& value) {
    checkClosed();
    password_ = value;
}

void TDAODatabase::SetUseDAOVersion(TDAOVersion value) {
    checkClosed();
    useDAOVersion_ = value;
}

void TDAODatabase::SetPrivateEngine(bool value) {
    checkClosed();
    privateEngine_ = value;
}

void TDAODatabase::SetExclusive(bool value) {
    checkClosed();
    exclusive_ = value;
}

void TDAODatabase::SetReadOnly(bool value) {
    checkClosed();
    readOnly_ = value;
}

void TDAODatabase::SetTransactionRefresh(bool value) {
    checkClosed();
    transactionRefresh_ = value;
}

void TDAODatabase::SetConnected(bool value) {
    if (loading_) {
        streamedConnected_ = value;
        return;
    }
    if (value == Connected()) return;
    if (value)
        doOpen();
    else
        doClose();
}

void TDAODatabase::Loaded() {
    loading_ = false;
    if (streamedConnected_) SetConnected(true);
}

void TDAODatabase::doOpen() {
    try {
        if (OnLogin) OnLogin(*this);
        if (!engine_) engine_ = CreateDAOEngine(useDAOVersion_, privateEngine_);
        if (!workspace_) {
            if (!systemDB_.empty()) DAOCall([&] { engine_->SetSystemDB(systemDB_); });
            workspace_ = DAOCall([&] {
                return engine_->CreateWorkspace(name_, userName_, password_,
                                                com::Variant(static_cast<std::int32_t>(dao::dbUseJet)));
            });
        }
        database_ = DAOCall([&] {
            return workspace_->OpenDatabase(databaseName_, com::Variant(exclusive_), com::Variant(readOnly_),
                                            com::Variant(databaseConnect_));
        });
    } catch (...) {
        doClose();
        throw;
    }
}

void TDAODatabase::doClose() {
    try {
        while (!openDataSets_.empty()) {
            TDAODataSet* dataSet = openDataSets_.back();
            dataSet->Close();
            // A dataset that did not unregister itself is dropped here so the loop always ends.
            if (!openDataSets_.empty() && openDataSets_.back() == dataSet) openDataSets_.pop_back();
        }
    } catch (...) {
        openDataSets_.clear();
        database_.reset();
        workspace_.reset();
        engine_.reset();
        throw;
    }
    database_.reset();
    workspace_.reset();
    engine_.reset();
}

std::string TDAODatabase::DAOVersion() const {
    if (!Connected()) return {};
    return DAOCall([&] { return engine_->Version(); });
}

std::string TDAODatabase::DatabaseVersion() const {
    if (!Connected()) return {};
    return DAOCall([&] { return database_->Version(); });
}

std::int32_t TDAODatabase::CollatingOrder() const {
    if (!Connected()) return -1;
    return DAOCall([&] { return database_->CollatingOrder(); });
}

bool TDAODatabase::AuditOnly() const {
    return Connected() && database_->AuditOnly();
}

std::string TDAODatabase::ReplicaID() const {
    if (!Connected()) return {};
    com::Variant id = DAOCall([&] { return database_->ReplicaID(); });
    return id.isString() ? id.toString() : std::string();
}

dao::DBEnginePtr TDAODatabase::EngineObject() const {
    checkOpen();
    return engine_;
}

dao::WorkspacePtr TDAODatabase::WorkspaceObject() const {
    checkOpen();
    return workspace_;
}

dao::DatabasePtr TDAODatabase::DatabaseObject() const {
    checkOpen();
    return database_;
}

dao::UsersPtr TDAODatabase::GetUsers() const {
    checkOpen();
    return DAOCall([&] { return workspace_->Users(); });
}

dao::GroupsPtr TDAODatabase::GetGroups() const {
    checkOpen();
    return DAOCall([&] { return workspace_->Groups(); });
}

dao::ContainersPtr TDAODatabase::GetContainers() const {
    checkOpen();
    return DAOCall([&] { return database_->Containers(); });
}

void TDAODatabase::CreateUser(const std::string& name, const std::string& pid, const std::string& password) {
    checkOpen();
    DAOCall([&] {
        dao::UserPtr user =
            workspace_->CreateUser(com::Variant(name), com::Variant(pid), com::Variant(password));
        workspace_->Users()->Append(user);
    });
}

void TDAODatabase::CreateGroup(const std::string& name, const std::string& pid) {
    checkOpen();
    DAOCall([&] {
        dao::GroupPtr group = workspace_->CreateGroup(com::Variant(name), com::Variant(pid));
        workspace_->Groups()->Append(group);
    });
}

void TDAODatabase::DeleteUser(const std::string& name) {
    checkOpen();
    DAOCall([&] { workspace_->Users()->Delete(name); });
}

void TDAODatabase::DeleteGroup(const std::string& name) {
    checkOpen();
    DAOCall([&] { workspace_->Groups()->Delete(name); });
}

void TDAODatabase::AddUserToGroup(const std::string& userName, const std::string& groupName) {
    checkOpen();
    DAOCall([&] {
        dao::GroupPtr group = workspace_->Groups()->Item(com::Variant(groupName));
        dao::UserPtr member = group->CreateUser(com::Variant(userName), com::Variant(), com::Variant());
        group->Users()->Append(member);
    });
}

void TDAODatabase::RemoveUserFromGroup(const std::string& userName, const std::string& groupName) {
    checkOpen();
    DAOCall([&] { workspace_->Groups()->Item(com::Variant(groupName))->Users()->Delete(userName); });
}

void TDAODatabase::linkDataSet(TDAODataSet* dataSet) {
    if (std::find(linkedDataSets_.begin(), linkedDataSets_.end(), dataSet) == linkedDataSets_.end())
        linkedDataSets_.push_back(dataSet);
}

void TDAODatabase::unlinkDataSet(TDAODataSet* dataSet) {
    std::erase(linkedDataSets_, dataSet);
    std::erase(openDataSets_, dataSet);
}

void TDAODatabase::dataSetOpened(TDAODataSet* dataSet) {
    if (std::find(openDataSets_.begin(), openDataSets_.end(), dataSet) == openDataSets_.end())
        openDataSets_.push_back(dataSet);
}

void TDAODatabase::dataSetClosed(TDAODataSet* dataSet) {
    std::erase(openDataSets_, dataSet);
}

// ---------------------------------------------------------------------------------------------------
// TDAOField

std::int32_t TDAOField::AsInteger() const {
    auto fromDouble = [&](double d) {
        const double r = std::round(d);
        if (!(r >= std::numeric_limits<std::int32_t>::min() && r <= std::numeric_limits<std::int32_t>::max()))
            throw EDatabaseError("Field '" + name_ + "': value out of integer range");
        return static_cast<std::int32_t>(r);
    };
    switch (value_.type()) {
    case com::VarType::Empty:
    case com::VarType::Null:
        return 0;
    case com::VarType::Boolean:
        return value_.toBool() ? -1 : 0;
    case com::VarType::Int16:
    case com::VarType::Int32:
        return value_.toInt32();
    case com::VarType::Double:
        return fromDouble(value_.toDouble());
    case com::VarType::Currency:
        return fromDouble(static_cast<double>(value_.toCurrency().scaled) / 10000.0);
    case com::VarType::String: {
        const std::string& s = value_.toString();
        const auto first = s.find_first_not_of(" \t");
        const auto last = s.find_last_not_of(" \t");
        std::int32_t result = 0;
        if (first != std::string::npos) {
            const char* begin = s.data() + first;
            const char* end = s.data() + last + 1;
            if (*begin == '+') ++begin;
            auto [ptr, ec] = std::from_chars(begin, end, result);
            if (ec == std::errc() && ptr == end) return result;
        }
        throw EDatabaseError("'" + s + "' is not a valid integer value");
    }
    case com::VarType::Date:
        break;
    }
    throw EDatabaseError("Field '" + name_ + "' cannot be read as an integer");
}

std::string TDAOField::AsString() const {
    char buf[64];
    switch (value_.type()) {
    case com::VarType::Empty:
    case com::VarType::Null:
        return {};
    case com::VarType::Boolean:
        return value_.toBool() ? "True" : "False";
    case com::VarType::Int16:
    case com::VarType::Int32:
        return std::to_string(value_.toInt32());
    case com::VarType::Double: {
        auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value_.toDouble());
        return std::string(buf, ptr);
    }
    case com::VarType::Currency: {
        auto [ptr, ec] =
            std::to_chars(buf, buf + sizeof buf, static_cast<double>(value_.toCurrency().scaled) / 10000.0);
        return std::string(buf, ptr);
    }
    case com::VarType::Date: {
        auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value_.toDate().days);
        return std::string(buf, ptr);
    }
    case com::VarType::String:
        return value_.toString();
    }
    return {};
}

// ---------------------------------------------------------------------------------------------------
// TSQLLines

void TSQLLines::Clear() {
    lines_.clear();
    changed_();
}

void TSQLLines::Add(const std::string& line) {
    lines_.push_back(line);
    changed_();
}

void TSQLLines::SetText(const std::string& text) {
    lines_.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines_.push_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    changed_();
}

std::string TSQLLines::Text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines_[i];
    }
    return text;
}

// ---------------------------------------------------------------------------------------------------
// TDAOQuery

TDAOQuery::TDAOQuery(std::string name) : TDAODataSet(std::move(name)), sql_([this] { sqlChanged(); }) {}

TDAOQuery::~TDAOQuery() {
    Close();
}

void TDAOQuery::sqlChanged() {
    Close();
    params_ = parseParamNames(sql_.Text());
}

void TDAOQuery::checkActive() const {
    if (!Active()) throw EDatabaseError(Name() + ": Cannot perform this operation on a closed dataset");
}

void TDAOQuery::Open() {
    if (Active()) return;
    TDAODatabase* database = Database();
    if (!database) throw EDatabaseError(Name() + ": Missing Database");
    if (!database->Connected()) database->Open();

    const dao::DatabasePtr databaseObject = database->DatabaseObject();
    const std::string text = sql_.Text();
    try {
        dao::QueryDefPtr queryDef = databaseObject->CreateQueryDef("", text);
        dao::RecordsetPtr recordset = queryDef->OpenRecordset(
            com::Variant(static_cast<std::int32_t>(dao::dbOpenDynaset)),
            com::Variant(static_cast<std::int32_t>(dao::dbConsistent | dao::dbSeeChanges)));
        queryDef_ = std::move(queryDef);
        recordset_ = std::move(recordset);
    } catch (const com::ComError& e) {
        std::string message;
        try {
            message = DAOErrorsMessage(database->EngineObject());
        } catch (const EDatabaseError&) {
            // The Errors collection itself failed: fall back on the failed call's own message.
            message = com::errorMessage(e.status(), e.description());
        }
        throw EDAOError(message, e.status());
    }
    registerOpened();
}

void TDAOQuery::Close() {
    if (!Active()) return;
    recordset_.reset();
    queryDef_.reset();
    registerClosed();
}

bool TDAOQuery::Eof() const {
    checkActive();
    return DAOCall([&] { return recordset_->AtEOF(); });
}

void TDAOQuery::Next() {
    checkActive();
    DAOCall([&] { recordset_->MoveNext(); });
}

TDAOField TDAOQuery::FieldByName(const std::string& name) const {
    checkActive();
    return DAOCall([&] {
        const std::int16_t count = recordset_->FieldCount();
        for (std::int16_t i = 0; i < count; ++i) {
            std::string fieldName = recordset_->FieldName(i);
            if (!sameTextAscii(fieldName, name)) continue;
            if (recordset_->AtEOF()) return TDAOField(std::move(fieldName), com::Variant::null());
            return TDAOField(std::move(fieldName), recordset_->Field(com::Variant(i)));
        }
        throw EDatabaseError(Name() + ": Field '" + name + "' not found");
    });
}
