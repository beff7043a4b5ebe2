#include "plan/OriginCheck.h"

#include "security/SafeText.h"

#include <QCryptographicHash>
#include <QFile>

#include <stdexcept>

namespace plan {

std::string FileSha256(const std::string& path) {
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw std::runtime_error("cannot read '" + path + "'");
    return hash.result().toHex().toStdString();
}

std::vector<std::string> OriginChangedNotes(const OriginRecord& record) {
    std::vector<std::string> notes;
    for (const auto& [file, what] :
         {std::pair{&record.workgroup, "workgroup file"}, std::pair{&record.database, "database"}}) {
        std::string now;
        try {
            now = FileSha256(file->path);
        } catch (const std::runtime_error&) {
            notes.push_back(std::string("The origin ") + what + " '" + ShownName(file->path) +
                            "' cannot be read any more: the changes are against what it held at the import.");
            continue;
        }
        if (now != file->sha256)
            notes.push_back(
                std::string("The origin ") + what + " '" + ShownName(file->path) +
                "' has changed since the import (" + VisibleText(record.importedAt) +
                "): its sha256 differs, so someone changed it meanwhile. The "
                "changes below are against it as it is now; import a new sandbox to plan on what it holds.");
    }
    return notes;
}

} // namespace plan
