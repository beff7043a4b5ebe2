#pragma once
// A change script run under node against the DAO stand-in of tests/plan (run-change-script.js): the
// script's output, exit status and the stand-in's catalogue afterwards.
#include <string>
#include <vector>

namespace kltest {

struct ScriptRun {
    int status = -1;
    std::string out;
    std::string err;
    std::string state; // the catalogue file after the run (JSON), usable as the next run's catalogue
    std::string opens; // one line per OpenDatabase: "exclusive=... readOnly=..."
};

// The node program, or empty when node is not installed.
std::string nodeProgram();

// Writes script to scriptFile, runs it with the named arguments ("/apply", "/mdb:PATH") and the given
// standard input against the catalogue file; the state lands beside the script as stateName.
ScriptRun runChangeScript(const std::string& script, const std::string& scriptFile,
                          const std::string& catalogue, const std::vector<std::string>& args,
                          const std::string& input, const std::string& stateName);

// Writes to file the stand-in catalogue that keyloupe-jet's accounts and dump output describe, its
// database and workgroup file named mdbName and mdwName in the folder of a script C:\Plan\change.js.
void catalogueFromDump(const std::string& accounts, const std::string& dump, const std::string& mdbName,
                       const std::string& mdwName, const std::string& file);

// The catalogue as sorted one-line facts (accounts, memberships, owners, ACEs).
std::vector<std::string> catalogueFacts(const std::string& catalogue);

// The lines of text that begin with word followed by a space.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& word);

} // namespace kltest
