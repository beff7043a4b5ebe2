// ---------------------------------------------------------------------------------------------------
// The fixed logic of a Keyloupe change script. It reads PLAN (above) and nothing else of this file.
// JScript 5.8 (ECMAScript 3): no JSON, no forEach/indexOf/trim, no trailing commas, charAt only.
// ---------------------------------------------------------------------------------------------------

var NAMED = WScript.Arguments.Named;
var APPLY = NAMED.Exists("apply");
var FORCE = NAMED.Exists("force");

function writeOut(stream, line) {
    try {
        stream.WriteLine(line);
    } catch (e) {
        // A console that cannot show a character refuses the whole line: show it escaped instead.
        stream.WriteLine(asciiOnly(line));
    }
}
function out(line) { writeOut(WScript.StdOut, line); }
function err(line) { writeOut(WScript.StdErr, line); }

function hex4(code) {
    var h = code.toString(16).toUpperCase();
    while (h.length < 4) h = "0" + h;
    return h;
}
function asciiOnly(text) {
    var s = "", i, c;
    for (i = 0; i < text.length; i++) {
        c = text.charCodeAt(i);
        s += c > 126 ? "\\u" + hex4(c) : text.charAt(i);
    }
    return s;
}
// Text on one line in double quotes, invisible characters escaped; a name (data) also has its quotes
// and backslashes escaped, a path is shown as it is.
function quoted(text, isName) {
    var s = "\"", i, ch, c;
    text = String(text);
    for (i = 0; i < text.length; i++) {
        ch = text.charAt(i);
        c = text.charCodeAt(i);
        if (isName && (ch == "\"" || ch == "\\")) s += "\\" + ch;
        else if (ch == "\n") s += "\\n";
        else if (ch == "\r") s += "\\r";
        else if (ch == "\t") s += "\\t";
        else if (c < 32 || c == 127 || (c >= 128 && c < 160) || c == 173 || (c >= 0x200B && c <= 0x200F) ||
                 (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF)
            s += "\\u" + hex4(c);
        else s += ch;
    }
    return s + "\"";
}
function q(text) { return quoted(text, true); }
function qpath(text) { return quoted(text, false); }
function permHex(v) {
    var h = (v >>> 0).toString(16).toUpperCase();
    while (h.length < 5) h = "0" + h;
    return h;
}
function lower(text) { return String(text).toLowerCase(); }
function sameName(a, b) { return lower(a) == lower(b); }

function daoNumber(e) { return typeof e.number == "number" ? (e.number & 0xFFFF) : 0; }
function daoText(e) {
    var d = e.description || e.message || String(e);
    return String(d).replace(/[\r\n]+/g, " ");
}

// ----- Where and who: the arguments, or the origin's file names in this script's own folder. -----
function scriptFolder() {
    var full = String(WScript.ScriptFullName);
    var cut = Math.max(full.lastIndexOf("\\"), full.lastIndexOf("/"));
    return cut < 0 ? "" : full.substring(0, cut + 1);
}
function argOr(name, fallback) {
    if (!NAMED.Exists(name)) return fallback;
    var v = NAMED.Item(name);
    return v === undefined || v === null ? "" : String(v);
}

// ----- Reading standard input: the login password, then one line per new user. -----
function readLine(prompt) {
    WScript.StdErr.Write(prompt);
    if (WScript.StdIn.AtEndOfStream) return "";
    return WScript.StdIn.ReadLine();
}

// ----- The workgroup and the database as they are now. -----
var ws = null, db = null;

function collectionHas(coll, name) {
    var i, n = coll.Count;
    for (i = 0; i < n; i++)
        if (sameName(coll.Item(i).Name, name)) return true;
    return false;
}
function accountKindNow(name) {
    if (collectionHas(ws.Users, name)) return "U";
    if (collectionHas(ws.Groups, name)) return "G";
    return "";
}
function isMember(user, group) { return collectionHas(ws.Groups.Item(group).Users, user); }
function targetOf(ch) {
    var c = db.Containers.Item(ch.container);
    return ch.object == "" ? c : c.Documents.Item(ch.object);
}

// Accounts the plan creates that do not exist yet (a dry run counts their changes at the before-value;
// with /apply they exist by then, or their creation failed and DAO says why), and accounts the plan
// deletes (a change concerning one that is already gone is done).
var pending = {}, deletedLater = {};
function key(name) { return "#" + lower(name); }
function isPending(name) { return !APPLY && pending.hasOwnProperty(key(name)); }

// ----- Each kind of change: find its current state, make it. Its words come with the data. -----
// check(ch) returns {state: "before" | "after" | "other", now: text, target: object to write}.
function kindWord(k) { return k == "G" ? "group" : "user"; }
function state(s, now, target) { return { state: s, now: now, target: target }; }

function checkAccount(ch, creating) {
    var k = accountKindNow(ch.account);
    if (k == ch.accountKind) return state(creating ? "after" : "before", "exists", null);
    if (k == "") return state(creating ? "before" : "after", "does not exist", null);
    return state("other", "a " + kindWord(k) + " of that name exists", null);
}
function checkMembership(ch, adding) {
    var u = accountKindNow(ch.account), g = accountKindNow(ch.group);
    if (u == "U" && g == "G") {
        var member = isMember(ch.account, ch.group);
        return state(member == adding ? "after" : "before", member ? "a member" : "not a member", null);
    }
    if ((u == "" && isPending(ch.account)) || (g == "" && isPending(ch.group)))
        return state(adding ? "before" : "after", "not yet created", null);
    if (!adding && (u == "" || g == "")) return state("after", "account gone", null);
    if (u != "U") return state("other", "user " + q(ch.account) + " does not exist", null);
    return state("other", "group " + q(ch.group) + " does not exist", null);
}
// An account the plan creates but which does not exist yet, or which the plan deletes and is gone.
function accountAbsence(name) {
    if (accountKindNow(name) != "") return null;
    if (isPending(name)) return state("before", "not yet created", null);
    if (deletedLater.hasOwnProperty(key(name))) return state("after", "account gone", null);
    return null;
}
function checkOwner(ch) {
    var t = targetOf(ch), now = String(t.Owner);
    if (sameName(now, ch.after)) return state("after", q(now), t);
    // An owner no account is reads "<Unknown>" here and may read empty elsewhere.
    if (sameName(now, ch.before) || (ch.before == "<Unknown>" && now == "")) return state("before", q(now), t);
    return state("other", q(now), t);
}
function checkInherit(ch) {
    var absent = accountAbsence(ch.account);
    if (absent != null) return absent;
    var t = targetOf(ch);
    t.UserName = ch.account;
    var now = t.Inherit ? "true" : "false";
    return state(now == ch.after ? "after" : now == ch.before ? "before" : "other", now, t);
}
function checkPermissions(ch) {
    var absent = accountAbsence(ch.account);
    if (absent != null) return absent;
    var t = targetOf(ch);
    t.UserName = ch.account;
    var now = t.Permissions | 0, before = parseInt(ch.before, 16) | 0, after = parseInt(ch.after, 16) | 0;
    return state(now == after ? "after" : now == before ? "before" : "other", permHex(now), t);
}

function check(ch) {
    switch (ch.kind) {
    case "account-created": return checkAccount(ch, true);
    case "account-deleted": return checkAccount(ch, false);
    case "membership-added": return checkMembership(ch, true);
    case "membership-removed": return checkMembership(ch, false);
    case "owner": return checkOwner(ch);
    case "inherit": return checkInherit(ch);
    case "permissions": return checkPermissions(ch);
    }
    throw new Error("unknown kind of change: " + ch.kind);
}

// Makes the change; the target is the very object check() set UserName on. Returns a note or "".
function make(ch, target) {
    var g;
    switch (ch.kind) {
    case "account-created":
        if (ch.accountKind == "G") {
            ws.Groups.Append(ws.CreateGroup(ch.account, ch.pid));
            return "";
        }
        ws.Users.Append(ws.CreateUser(ch.account, ch.pid, ch.password));
        return ch.password == "" ? "without a password" : "";
    case "account-deleted":
        if (ch.accountKind == "G") ws.Groups.Delete(ch.account);
        else ws.Users.Delete(ch.account);
        return "";
    case "membership-added":
        g = ws.Groups.Item(ch.group);
        g.Users.Append(g.CreateUser(ch.account));
        return "";
    case "membership-removed":
        ws.Groups.Item(ch.group).Users.Delete(ch.account);
        return "";
    case "owner":
        target.Owner = ch.after;
        return "";
    case "inherit":
        // Jet stores the inherit setting of the account named by UserName when Permissions is written.
        target.Inherit = ch.after == "true";
        var v = target.Permissions;
        target.Permissions = v;
        return "";
    case "permissions":
        target.Permissions = parseInt(ch.after, 16) | 0;
        return "";
    }
    throw new Error("unknown kind of change: " + ch.kind);
}

// ----- The run. -----
function openEngine() {
    var ids = PLAN.jetFormat == "3.0" ? ["DAO.DBEngine.35", "DAO.DBEngine.36"] : ["DAO.DBEngine.36"];
    var i, last = null;
    for (i = 0; i < ids.length; i++) {
        try {
            var engine = new ActiveXObject(ids[i]);
            if (i > 0) err("Warning: DAO 3.5 is not installed; using " + ids[i] + " on a Jet 3 database.");
            return engine;
        } catch (e) {
            last = e;
        }
    }
    err("Error: cannot create the DAO engine " + ids[ids.length - 1] + " (" + daoNumber(last) + ": " +
        daoText(last) + ").");
    err("DAO 3.6 is a 32-bit component: on 64-bit Windows run this script with " +
        "%SystemRoot%\\SysWOW64\\cscript.exe //nologo " + WScript.ScriptFullName);
    return null;
}

function main() {
    var folder = scriptFolder();
    var mdb = argOr("mdb", folder + PLAN.mdbName);
    var mdw = argOr("mdw", folder + PLAN.mdwName);
    var user = argOr("user", PLAN.user);
    var i, ch;

    var password = readLine("Password for " + q(user) + ": ");
    if (APPLY) {
        for (i = 0; i < PLAN.changes.length; i++) {
            ch = PLAN.changes[i];
            if (ch.kind == "account-created" && ch.accountKind == "U") {
                ch.password = readLine("Password for the new user " + q(ch.account) + " (empty: none): ");
                if (ch.password == "") err("The new user " + q(ch.account) + " will have no password.");
            }
        }
    }
    for (i = 0; i < PLAN.changes.length; i++) {
        ch = PLAN.changes[i];
        if (ch.kind == "account-deleted") deletedLater[key(ch.account)] = true;
    }

    var engine = openEngine();
    if (engine == null) return 1;
    try {
        engine.SystemDB = mdw;
        ws = engine.CreateWorkspace("KeyloupeChangeScript", user, password, 2);
        db = ws.OpenDatabase(mdb, APPLY, !APPLY);
    } catch (e) {
        err("Error " + daoNumber(e) + ": " + daoText(e));
        err("Database " + qpath(mdb) + ", workgroup file " + qpath(mdw) + ", user " + q(user) + ".");
        return 1;
    }
    out((APPLY ? "Applying " : "Dry run (nothing is changed; /apply makes the changes): ") +
        PLAN.changes.length + " changes to " + qpath(mdb) + " with " + qpath(mdw) + " as " + q(user));

    var counts = { would: 0, ok: 0, already: 0, conflict: 0, failed: 0 };
    for (i = 0; i < PLAN.changes.length; i++) {
        ch = PLAN.changes[i];
        var words = ch.words, s;
        try {
            s = check(ch);
        } catch (e) {
            if (APPLY) {
                counts.failed++;
                out("FAILED " + daoNumber(e) + ": " + daoText(e) + " -- " + words);
            } else {
                counts.conflict++;
                out("CONFLICT " + words + " (cannot be checked: " + daoNumber(e) + ": " + daoText(e) + ")");
            }
            continue;
        }
        if (s.state == "after") {
            counts.already++;
            out("ALREADY " + words);
            continue;
        }
        if (ch.kind == "account-created" && s.state == "before") pending[key(ch.account)] = true;
        if (!APPLY) {
            if (s.state == "before") {
                counts.would++;
                out("WOULD " + words);
            } else {
                counts.conflict++;
                out("CONFLICT " + words + " (now " + s.now + ")");
            }
            continue;
        }
        if (s.state == "other" && !FORCE) {
            counts.conflict++;
            out("CONFLICT " + words + " (now " + s.now + "; skipped, /force applies it)");
            continue;
        }
        try {
            var note = make(ch, s.target);
            if (s.state == "other") note = "forced; was " + s.now;
            counts.ok++;
            out("OK " + words + (note == "" ? "" : " (" + note + ")"));
        } catch (e) {
            counts.failed++;
            out("FAILED " + daoNumber(e) + ": " + daoText(e) + " -- " + words);
        }
    }
    if (!APPLY) {
        out("Summary (dry run): " + counts.would + " would change, " + counts.already + " already done, " +
            counts.conflict + " in conflict");
        return counts.conflict > 0 ? 2 : 0;
    }
    out("Summary: " + counts.ok + " changed, " + counts.already + " already done, " + counts.conflict +
        " in conflict (skipped), " + counts.failed + " failed");
    return counts.failed > 0 ? 1 : counts.conflict > 0 ? 2 : 0;
}

var exitCode;
if (lower(WScript.FullName).indexOf("cscript") < 0) {
    // wscript (a double click) has no standard input or output to talk through.
    WScript.Echo("Run this script in a command prompt: cscript //nologo " + WScript.ScriptFullName);
    WScript.Quit(1);
}
try {
    exitCode = main();
} catch (e) {
    err("Error " + daoNumber(e) + ": " + daoText(e));
    exitCode = 1;
}
db = null;
ws = null;
WScript.Quit(exitCode);
