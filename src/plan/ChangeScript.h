#pragma once
// The change script: a JScript file for the Windows Script Host that carries a list of changes to the
// genuine pair they were planned for and applies them there through DAO, checking each value before it
// touches it. The file is the changes as data after a header comment, then one fixed piece of logic.
#include "plan/Changes.h"
#include "plan/OriginRecord.h"

#include <string>
#include <string_view>
#include <vector>

namespace plan {

// Who made a script, when and with what.
struct ScriptStamp {
    std::string madeAt;          // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string user;            // the account logged in when the script was made: the script's /user default
    std::string keyloupeVersion; // of the Keyloupe that wrote the script
    std::string fileName;        // the script's own file name, for the usage line ("fix.js")
};

// The changes the script can carry, in their order: all but the objects found on one side only, the
// entries of SIDs no account holds, owners that are no account, accounts whose name another SID holds
// (DAO names accounts) and accounts to create whose PID is unknown.
std::vector<Change> ApplicableChanges(const std::vector<Change>& changes);

// The whole script text, ASCII only; the changes it cannot carry are named in its header. Throws
// std::runtime_error when there is no change to carry.
std::string WriteChangeScript(const std::vector<Change>& changes, const OriginRecord& origin,
                              const ScriptStamp& stamp);

// Whether file is a name the script may be written under: it ends in ".js" (any case), as cscript
// runs a file of that name as JScript.
bool IsChangeScriptName(const std::string& file);

// What writing a script to a file did.
struct ScriptFileResult {
    bool written = false;       // false: none of the changes can be carried, and no file was made
    std::size_t carried = 0;    // the changes the script carries
    std::size_t notCarried = 0; // the changes listed but not carried (named in its header)
    // One line saying so: "Wrote FILE: 3 changes" (and how many are not carried), or that there was
    // nothing to carry and no script was written. The file name is shown visibly (VisibleText).
    std::string message;
};

// The script of changes planned against origin, made now by user, written to file as a whole (under a
// temporary name, renamed at the end) unless none of the changes can be carried: then no file is made.
// Throws std::runtime_error naming the file when its name does not end in .js or it cannot be written.
ScriptFileResult WriteChangeScriptFile(const std::vector<Change>& changes, const OriginRecord& origin,
                                       const std::string& user, const std::string& file);

// text as a JScript string literal in double quotes: ASCII, every other character as \uXXXX.
std::string JScriptString(std::string_view text);

} // namespace plan
