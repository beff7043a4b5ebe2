#pragma once
// DAO components: a database component that opens a Jet database through a DAO engine created by
// class id and logs in with a workgroup file, user name and password; a table component that only
// carries its settings; and a query component that runs one SQL text as a dynaset.
//
// Every failure leaves as EDatabaseError (a std::runtime_error) carrying the message to show. Failures
// of DAO calls carry DAO's description, else the platform's text for the status, else
// "OLE error %.8x".
#include "com/Status.h"
#include "dao/Dao.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

// A failure of a database component or of a DAO call made through one.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const std::string& message, com::HRESULT status = com::E_FAIL)
        : std::runtime_error(message), status_(status) {}
    // The status of the failed DAO call; E_FAIL for failures of the components themselves.
    com::HRESULT status() const { return status_; }

private:
    com::HRESULT status_;
};

// A query that DAO refused to open; the message holds the texts of the engine's Errors collection.
class EDAOError : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// Runs f (a DAO call) and turns any object-layer failure into EDatabaseError with the message rule
// above. Other exceptions pass unchanged.
template <class F> decltype(auto) DAOCall(F&& f) {
    try {
        return f();
    } catch (const com::ComError& e) {
        throw EDatabaseError(com::errorMessage(e.status(), e.description()), e.status());
    }
}

enum TDAOVersion : std::uint8_t { dvDAO35 = 0, dvDAO36 = 1 };

// A small set of enumeration values (up to 32), like a Pascal set.
template <class E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values) {
        for (E v : values)
            bits_ |= bit(v);
    }
    constexpr bool Contains(E v) const { return (bits_ & bit(v)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TEnumSet& Include(E v) {
        bits_ |= bit(v);
        return *this;
    }
    constexpr TEnumSet& Exclude(E v) {
        bits_ &= ~bit(v);
        return *this;
    }
    friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

private:
    static constexpr std::uint32_t bit(E v) { return 1u << static_cast<unsigned>(v); }
    std::uint32_t bits_ = 0;
};

enum TExecOption : std::uint8_t { doConsistent, doDenyWrite, doFailOnError, doSeeChanges, doSQLPassThrough };
using TExecOptions = TEnumSet<TExecOption>;

enum TDataSetOption : std::uint8_t {
    dsDenyWrite,
    dsDenyRead,
    dsReadOnly,
    dsAppendOnly,
    dsInconsistent,
    dsConsistent,
    dsSQLPassThrough,
    dsFailOnError,
    dsForwardOnly,
    dsSeeChanges,
};
using TDataSetOptions = TEnumSet<TDataSetOption>;

// Class id of the engine class for a DAO version: the shared DBEngine or, when privateEngine, the
// PrivDBEngine.
std::string DAOEngineClassId(TDAOVersion version, bool privateEngine);

// Creates an engine object of the given DAO version; fails (for example "Class not registered") when
// that version is not installed.
dao::DBEnginePtr CreateDAOEngine(TDAOVersion version, bool privateEngine);

class TDAODatabase;

// A dataset that lives on a TDAODatabase: the database closes it, most recent first, when it closes.
class TDAODataSet {
public:
    explicit TDAODataSet(std::string name = {}) : name_(std::move(name)) {}
    virtual ~TDAODataSet();
    TDAODataSet(const TDAODataSet&) = delete;
    TDAODataSet& operator=(const TDAODataSet&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    TDAODatabase* Database() const { return database_; }
    // Closes the dataset when it moves to another database.
    void SetDatabase(TDAODatabase* database);

    TDAOVersion UseDAOVersion() const { return useDAOVersion_; }
    void SetUseDAOVersion(TDAOVersion version) { useDAOVersion_ = version; }

    TDataSetOptions Options() const { return options_; }
    void SetOptions(TDataSetOptions options) { options_ = options; }

    virtual bool Active() const { return false; }
    void SetActive(bool active) {
        if (active)
            Open();
        else
            Close();
    }
    // Datasets that cannot be opened fail with "Operation not supported".
    virtual void Open();
    virtual void Close() {}

protected:
    // Tell the database that this dataset opened or closed.
    void registerOpened();
    void registerClosed();

private:
    friend class TDAODatabase;
    std::string name_;
    TDAODatabase* database_ = nullptr;
    TDAOVersion useDAOVersion_ = dvDAO36;
    TDataSetOptions options_;
};

// The database component. Holds the DAO engine, workspace and database objects only while connected.
class TDAODatabase {
public:
    using TLoginEvent = std::function<void(TDAODatabase& Database)>;

    explicit TDAODatabase(std::string name = {});
    ~TDAODatabase();
    TDAODatabase(const TDAODatabase&) = delete;
    TDAODatabase& operator=(const TDAODatabase&) = delete;

    // The component's own name, the workspace name given to CreateWorkspace.
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& value);
    // The engine's own SystemDB while an engine object is held, else the stored text.
    std::string SystemDB() const;
    void SetSystemDB(const std::string& value);
    const std::string& UserName() const { return userName_; }
    void SetUserName(const std::string& value);
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value);
    TDAOVersion UseDAOVersion() const { return useDAOVersion_; }
    void SetUseDAOVersion(TDAOVersion value);
    bool PrivateEngine() const { return privateEngine_; }
    void SetPrivateEngine(bool value);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    const std::string& DatabaseConnect() const { return databaseConnect_; }
    void SetDatabaseConnect(const std::string& value);
    TExecOptions ExecOptions() const { return execOptions_; }
    void SetExecOptions(TExecOptions value) { execOptions_ = value; }
    bool TransactionRefresh() const { return transactionRefresh_; }
    void SetTransactionRefresh(bool value);

    // True while a database object is held. Setting true opens, false closes; setting the current
    // state does nothing. An open that fails closes again and passes the error on.
    bool Connected() const { return database_ != nullptr; }
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Read-only state of the open connection: empty (CollatingOrder -1) while closed.
    std::string DAOVersion() const;
    std::string DatabaseVersion() const;
    std::int32_t CollatingOrder() const;
    std::string ReplicaID() const;
    // True while a genuine Jet file is open for audit (read-only, password not checked).
    bool AuditOnly() const;

    // Called at the start of every open.
    TLoginEvent OnLogin;

    // Stored settings are applied between BeginLoading and Loaded; a Connected value set in between is
    // held back and applied by Loaded.
    void BeginLoading() { loading_ = true; }
    void Loaded();

    // The held DAO objects; fail while closed.
    dao::DBEnginePtr EngineObject() const;
    dao::WorkspacePtr WorkspaceObject() const;
    dao::DatabasePtr DatabaseObject() const;

    // Account administration through the logged-in workspace; fail while closed.
    dao::UsersPtr GetUsers() const;
    dao::GroupsPtr GetGroups() const;
    dao::ContainersPtr GetContainers() const;
    void CreateUser(const std::string& name, const std::string& pid, const std::string& password);
    void CreateGroup(const std::string& name, const std::string& pid);
    void DeleteUser(const std::string& name);
    void DeleteGroup(const std::string& name);
    void AddUserToGroup(const std::string& userName, const std::string& groupName);
    void RemoveUserFromGroup(const std::string& userName, const std::string& groupName);

    // Datasets currently open on this database, in the order they were opened.
    const std::vector<TDAODataSet*>& OpenDataSets() const { return openDataSets_; }

private:
    friend class TDAODataSet;
    void doOpen();
    void doClose();
    void checkClosed() const;
    void checkOpen() const;
    void setWhileClosed(std::string& field, const std::string& value);

    void linkDataSet(TDAODataSet* dataSet);
    void unlinkDataSet(TDAODataSet* dataSet);
    void dataSetOpened(TDAODataSet* dataSet);
    void dataSetClosed(TDAODataSet* dataSet);

    std::string name_;
    std::string databaseName_;
    std::string systemDB_;
    std::string userName_ = "admin";
    std::string password_;
    TDAOVersion useDAOVersion_ = dvDAO36;
    bool privateEngine_ = false;
    bool exclusive_ = false;
    bool readOnly_ = false;
    std::string databaseConnect_;
    TExecOptions execOptions_{doConsistent, doFailOnError};
    bool transactionRefresh_ = true;
    bool loading_ = false;
    bool streamedConnected_ = false;

    dao::DBEnginePtr engine_;
    dao::WorkspacePtr workspace_;
    dao::DatabasePtr database_;
    std::vector<TDAODataSet*> openDataSets_;   // most recent last
    std::vector<TDAODataSet*> linkedDataSets_; // every dataset whose Database is this
};

// A table component. The system never opens it; it carries its stored settings only.
class TDAOTable : public TDAODataSet {
public:
    using TDAODataSet::TDAODataSet;
    const std::string& TableName() const { return tableName_; }
    void SetTableName(std::string name) { tableName_ = std::move(name); }

private:
    std::string tableName_;
};

// A field of the current record of an open query, read when FieldByName is called.
class TDAOField {
public:
    TDAOField(std::string name, com::Variant value) : name_(std::move(name)), value_(std::move(value)) {}
    const std::string& FieldName() const { return name_; }
    const com::Variant& Value() const { return value_; }
    bool IsNull() const { return value_.isNull() || value_.isEmpty(); }
    // Null gives 0; text must hold a whole number; fractional numbers round to the nearest integer.
    std::int32_t AsInteger() const;
    // Null gives an empty text.
    std::string AsString() const;

private:
    std::string name_;
    com::Variant value_;
};

// The SQL text of a query as a list of lines; every change notifies the owning query.
class TSQLLines {
public:
    explicit TSQLLines(std::function<void()> changed) : changed_(std::move(changed)) {}
    void Clear();
    void Add(const std::string& line);
    // Replaces all lines with the lines of text (split at CR LF, LF or CR).
    void SetText(const std::string& text);
    // The lines joined by CR LF.
    std::string Text() const;
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_.at(static_cast<std::size_t>(index)); }

private:
    std::vector<std::string> lines_;
    std::function<void()> changed_;
};

// A query component: runs its SQL text as a dynaset-type recordset on its database.
class TDAOQuery : public TDAODataSet {
public:
    explicit TDAOQuery(std::string name = {});
    ~TDAOQuery() override;

    // Changing the lines closes the query and re-reads the parameter names.
    TSQLLines& SQL() { return sql_; }
    const TSQLLines& SQL() const { return sql_; }
    // Names of the ":" parameters found in the SQL text, in order of first appearance. They are listed
    // only; the DAO query definition takes the text as it is.
    const std::vector<std::string>& Params() const { return params_; }

    TExecOptions ExecOptions() const { return execOptions_; }
    void SetExecOptions(TExecOptions value) { execOptions_ = value; }

    bool Active() const override { return recordset_ != nullptr; }
    // Opens the database first when it is closed (its errors pass unchanged); a query DAO refuses
    // raises EDAOError built from the engine's Errors collection and leaves the query inactive.
    void Open() override;
    void Close() override;

    // Current record navigation.
    bool Eof() const;
    void Next();
    // The named field (case-insensitive) of the current record; Null at the end of the result.
    TDAOField FieldByName(const std::string& name) const;

private:
    void sqlChanged();
    void checkActive() const;

    TSQLLines sql_;
    std::vector<std::string> params_;
    TExecOptions execOptions_{doConsistent, doFailOnError};
    dao::QueryDefPtr queryDef_;
    dao::RecordsetPtr recordset_;
};

// The message of a refused query: for each error of the engine's Errors collection (after Refresh),
// from the last down to the first, a carriage return and its description, with one trailing full stop
// removed after each addition. Empty when the collection is empty.
std::string DAOErrorsMessage(const dao::DBEnginePtr& engine);
