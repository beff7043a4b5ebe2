#include "app/CommandLine.h"

#include "util/KaFileUtils.h"
#include "util/Licence.h"

#include <QDir>
#include <QFileInfo>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kUsage = "usage: keyloupe [--help | --version]\n";

} // namespace

std::optional<int> HandleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
    if (argc <= 1) return std::nullopt;
    const std::string arg = argv[1];
    if (argc == 2 && (arg == "--help" || arg == "-h")) {
        out << kUsage
            << "Keyloupe administers user-level security of Jet databases (.mdb) and their workgroup\n"
               "information files (.mdw): users, groups, memberships, permissions and owners, and audits\n"
               "genuine Access 97-2003 files read-only. It is a desktop program and takes no arguments;\n"
               "keyloupe-jet is its command-line companion.\n\n"
               "  --help     this text\n"
               "  --version  the version\n\n"
               "Settings are kept in keyloupe.ini beside the executable, or where that folder cannot be\n"
               "written, in the user's configuration folder (~/.config/Keyloupe/keyloupe/keyloupe.ini).\n";
        return 0;
    }
    if (argc == 2 && arg == "--version") {
        out << "keyloupe " << KEYLOUPE_VERSION << '\n' << KeyloupeVersionNotice;
        return 0;
    }
    err << "keyloupe: unexpected argument '" << arg << "'\n" << kUsage;
    return 2;
}

QString SettingsFileLocation(const QString& exePath, const QString& configFolder) {
    const QString beside = SettingsFileNameFor(exePath);
    const QString folder = QFileInfo(beside).absolutePath();
    if (QFileInfo::exists(beside) || ::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return beside;
    QDir().mkpath(configFolder);
    ::chmod(QFile::encodeName(configFolder).constData(), 0700);
    return QDir(configFolder).filePath(QStringLiteral("keyloupe.ini"));
}
