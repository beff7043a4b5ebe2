#include "plan/Sandbox.h"

#include "security/SafeText.h"

#include "dao/CatalogueSnapshot.h"
#include "dao/FileProbe.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#ifndef KEYLOUPE_VERSION
#error "KEYLOUPE_VERSION must be defined"
#endif

namespace plan {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string utc(const QDateTime& t) {
    return t.toUTC().toString(Qt::ISODate).toStdString();
}

OriginFile describe(const std::string& path, const char* role) {
    QFile f(q(path));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read the " + std::string(role) + " '" + path +
                                 "': " + f.errorString().toStdString() + ".");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        throw std::runtime_error("Cannot read the " + std::string(role) + " '" + path + "'.");
    const QFileInfo info(q(path));
    return {info.absoluteFilePath().toStdString(), static_cast<std::uint64_t>(info.size()),
            hash.result().toHex().toStdString(), utc(info.lastModified())};
}

// dir made when missing; refused when it is not an empty, writable folder or is the origin's own.
QString checkedDir(const std::string& dir, const SandboxPaths& paths, const std::string& workgroupPath,
                   const std::string& databasePath) {
    const QFileInfo info(q(dir));
    const std::string quoted = "'" + dir + "'";
    if (!info.exists() && !QDir().mkdir(q(dir)))
        throw std::runtime_error("Cannot make the sandbox folder " + quoted + ".");
    const QFileInfo made(q(dir));
    if (!made.isDir()) throw std::runtime_error("The sandbox folder " + quoted + " is not a folder.");
    const QString canonical = made.canonicalFilePath();
    for (const std::string& origin : {workgroupPath, databasePath})
        if (QFileInfo(q(origin)).canonicalPath() == canonical &&
            (QFileInfo(q(paths.workgroup)).fileName() == QFileInfo(q(origin)).fileName() ||
             QFileInfo(q(paths.database)).fileName() == QFileInfo(q(origin)).fileName()))
            throw std::runtime_error("The sandbox folder " + quoted +
                                     " is the origin's own folder; its files would take the origin's names.");
    if (::access(canonical.toLocal8Bit().constData(), W_OK | X_OK) != 0)
        throw std::runtime_error("The sandbox folder " + quoted + " is not writable.");
    if (!QDir(canonical)
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
             .isEmpty())
        throw std::runtime_error("The sandbox folder " + quoted + " is not empty.");
    return canonical;
}

OriginRecord importInto(const std::string& folder, const std::string& workgroupPath,
                        const std::string& databasePath, const std::string& user);

std::string fileName(const std::string& path) {
    return QFileInfo(q(path)).fileName().toStdString();
}

} // namespace

SandboxPaths SandboxPathsIn(const std::string& dir, const std::string& workgroupPath,
                            const std::string& databasePath) {
    const QDir d(q(dir));
    return {d.filePath(QFileInfo(q(workgroupPath)).fileName()).toStdString(),
            d.filePath(QFileInfo(q(databasePath)).fileName()).toStdString()};
}

std::string SandboxLabel(const OriginRecord& origin) {
    return "sandbox of " + ShownName(fileName(origin.database.path));
}

OriginRecord ImportSandbox(const std::string& workgroupPath, const std::string& databasePath,
                           const std::string& user, const std::string& dir) {
    for (const std::string& origin : {workgroupPath, databasePath}) {
        const dao::FileFamily family = dao::probeFile(origin).family;
        if (family == dao::FileFamily::Own || family == dao::FileFamily::Ace ||
            family == dao::FileFamily::Other)
            throw std::runtime_error("'" + origin +
                                     "' is no genuine Jet file; a sandbox is made from a genuine pair.");
    }
    SandboxPaths paths = SandboxPathsIn(dir, workgroupPath, databasePath);
    if (fileName(workgroupPath) == fileName(databasePath))
        throw std::runtime_error("The workgroup file and the database have the same name '" +
                                 fileName(databasePath) + "'; a sandbox keeps both names.");
    const bool existed = QFileInfo::exists(q(dir));
    const QString folder = checkedDir(dir, paths, workgroupPath, databasePath);
    try {
        return importInto(folder.toStdString(), workgroupPath, databasePath, user);
    } catch (...) {
        if (!existed) QDir().rmdir(folder); // a folder made here goes again; it is empty
        throw;
    }
}

namespace {

OriginRecord importInto(const std::string& folder, const std::string& workgroupPath,
                        const std::string& databasePath, const std::string& user) {
    const SandboxPaths paths = SandboxPathsIn(folder, workgroupPath, databasePath);

    OriginRecord record;
    record.workgroup = describe(workgroupPath, "workgroup information file");
    record.database = describe(databasePath, "database");
    auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine);
    engine->SetSystemDB(workgroupPath);
    auto ws = engine->CreateWorkspace("sandbox", user, "", dao::Variant(std::int32_t(dao::dbUseJet)));
    auto db = ws->OpenDatabase(databasePath, dao::Variant(), dao::Variant(true), dao::Variant());
    const dao::CatalogueSnapshot snapshot = dao::ReadCatalogueSnapshot(ws, db);
    record.user = ws->UserName();
    record.importedAt = utc(QDateTime::currentDateTimeUtc());
    record.keyloupeVersion = KEYLOUPE_VERSION;
    record.jetFormat = snapshot.databaseFormat;

    // Temporary names in the same folder, renamed once both files are complete.
    const std::string tmpWorkgroup = folder + "/.sandbox-workgroup.partial";
    const std::string tmpDatabase = folder + "/.sandbox-database.partial";
    try {
        dao::WriteSandbox(snapshot, tmpWorkgroup, tmpDatabase, FormatOriginRecord(record));
        if (std::rename(tmpWorkgroup.c_str(), paths.workgroup.c_str()) != 0 ||
            std::rename(tmpDatabase.c_str(), paths.database.c_str()) != 0)
            throw std::runtime_error("Cannot name the sandbox's files in '" + folder + "'.");
    } catch (...) {
        for (const std::string& p : {tmpWorkgroup, tmpDatabase, paths.workgroup, paths.database})
            std::remove(p.c_str());
        throw;
    }
    return record;
}

} // namespace

std::optional<OriginRecord> ReadOriginRecord(const dao::DatabasePtr& database) {
    const std::string text = dao::SandboxOrigin(database);
    if (text.empty()) return std::nullopt;
    return ParseOriginRecord(text);
}

} // namespace plan
