#pragma once
// keyloupe-jet: the command-line companion of the Jet engine. It creates workgroup files, databases,
// accounts and demo data, changes permissions, owners and inherit flags, and prints the security
// catalogue. Every engine call goes through the DAO object model.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace jettool {

inline constexpr const char* ProgramName = "keyloupe-jet";

// The exit status of findings when it found something: a scheduled check can tell it from success (0)
// and from a failure (1).
inline constexpr int FindingsExitStatus = 3;
// The exit status of changes when the two catalogues differ.
inline constexpr int ChangesExitStatus = 4;

// The exit status of a command that ran on a genuine file of which something could not be read (a row
// libmdb could not decode, an entry on an object that does not exist); each is a warning on stderr.
inline constexpr int DamagedExitStatus = 5;

// Runs one invocation. args are the command-line arguments without the program name. Normal output goes
// to out; a failure is written to err as "keyloupe-jet: " followed by its message. Returns the exit
// status: 0 on success, 1 on any failure, DamagedExitStatus when a file was read only in part.
//
// The password of a command that logs in is --password, else with --password-stdin the first line of
// in, else, when standard input is a terminal, typed at a prompt without echo; else empty.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in);

} // namespace jettool
