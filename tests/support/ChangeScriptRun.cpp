#include "support/ChangeScriptRun.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kltest {
namespace {

const char* const kRunner = KEYLOUPE_TESTS_DIR "/plan/run-change-script.js";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct NodeResult {
    int status;
    std::string out, err;
};

NodeResult node(const QStringList& args, const std::string& input) {
    QProcess p;
    p.start(QString::fromStdString(nodeProgram()), args);
    if (!p.waitForStarted()) throw std::runtime_error("node did not start");
    p.write(input.data(), static_cast<qint64>(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(-1);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

} // namespace

std::string nodeProgram() {
    for (const char* name : {"node", "nodejs"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found.toStdString();
    }
    return {};
}

ScriptRun runChangeScript(const std::string& script, const std::string& scriptFile,
                          const std::string& catalogue, const std::vector<std::string>& args,
                          const std::string& input, const std::string& stateName) {
    std::ofstream(scriptFile, std::ios::binary) << script;
    ScriptRun run;
    run.state = (std::filesystem::path(scriptFile).parent_path() / stateName).string();
    QStringList argv{QString::fromUtf8(kRunner), QString::fromStdString(scriptFile),
                     QString::fromStdString(catalogue), QString::fromStdString(run.state)};
    for (const std::string& a : args)
        argv << QString::fromStdString(a);
    const NodeResult r = node(argv, input);
    run.status = r.status;
    run.out = r.out;
    run.err = r.err;
    run.opens = readAll(run.state + ".opens");
    return run;
}

void catalogueFromDump(const std::string& accounts, const std::string& dump, const std::string& mdbName,
                       const std::string& mdwName, const std::string& file) {
    std::ofstream(file + ".accounts", std::ios::binary) << accounts;
    std::ofstream(file + ".dump", std::ios::binary) << dump;
    const NodeResult r =
        node({QString::fromUtf8(kRunner), "--from-dump", QString::fromStdString(file + ".accounts"),
              QString::fromStdString(file + ".dump"), QString::fromStdString(mdbName),
              QString::fromStdString(mdwName)},
             {});
    if (r.status != 0) throw std::runtime_error("cannot make a catalogue of the dump: " + r.err);
    std::ofstream(file, std::ios::binary) << r.out;
}

std::vector<std::string> catalogueFacts(const std::string& catalogue) {
    const NodeResult r = node({QString::fromUtf8(kRunner), "--dump", QString::fromStdString(catalogue)}, {});
    if (r.status != 0) throw std::runtime_error("cannot read the catalogue " + catalogue + ": " + r.err);
    return linesStartingWith(r.out, "");
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& word) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (word.empty() || line.rfind(word + " ", 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace kltest
