'use strict';
// A stand-in for the Windows Script Host and for DAO, in which a change script runs under node as it
// would under cscript. It holds a catalogue (accounts, memberships, objects with owners, ACEs per
// account with the containers' inherit flags) and enforces DAO's rules the scripts rely on; a broken
// rule raises an error carrying the DAO number as the HRESULT JScript would see.

const ERR = {
    3001: 'Invalid argument.', 3024: 'Could not find file.', 3027: 'Cannot update. Database or object is read-only.',
    3028: 'Cannot start your application. The workgroup information file is missing.',
    3029: 'Not a valid account name or password.', 3030: 'is not a valid account name.',
    3032: 'Cannot perform this operation.', 3033: 'You do not have the necessary permissions to use this object.',
    3045: 'Could not use the file; file already in use.', 3265: 'Item not found in this collection.',
    3304: 'You must enter a personal identifier (PID) consisting of at least four and no more than 20 characters and digits.',
    3390: 'Account name already exists.'
};
function daoError(n, detail) {
    const e = new Error(detail ? detail + ' ' + ERR[n] : ERR[n]);
    e.number = (0x800A0000 | n) | 0; // negative, as JScript shows an HRESULT
    e.description = e.message;
    return e;
}
const low = (s) => String(s).toLowerCase();
const eq = (a, b) => low(a) === low(b);

class Catalogue {
    constructor(json) { Object.assign(this, JSON.parse(JSON.stringify(json))); this.objects = this.objects || []; }
    account(name) { return this.accounts.find((a) => eq(a.name, name)); }
    object(container, object) { return this.objects.find((o) => eq(o.container, container) && eq(o.object, object)); }
    isMember(user, group) { return this.members.some((m) => eq(m[0], user) && eq(m[1], group)); }
    ace(obj, name, create) {
        let a = obj.acl.find((x) => eq(x[0], name));
        if (!a && create) obj.acl.push(a = [this.account(name).name, 0, false]);
        return a;
    }
    // One line per fact, sorted; names as JSON strings so that every fact is one line.
    dump() {
        const j = JSON.stringify, lines = [];
        for (const a of this.accounts) lines.push(`account ${a.kind} ${j(a.name)}` + (a.kind === 'U' ? ` password ${j(a.password || '')}` : ''));
        for (const m of this.members) lines.push(`member ${j(m[0])} ${j(m[1])}`);
        for (const o of this.objects) {
            lines.push(`owner ${j(o.container)} ${j(o.object)} ${j(o.owner)}`);
            for (const [name, perms, inherit] of o.acl)
                if (perms || inherit) lines.push(`ace ${j(o.container)} ${j(o.object)} ${j(name)} ${(perms >>> 0).toString(16)}` + (o.object === '' ? ` inherit ${inherit}` : ''));
        }
        return lines.sort();
    }
}

// A collection as DAO shows it: Count, Item(index or name), Append, Delete.
function collection(list, nameOf, make, append, remove) {
    return {
        get Count() { return list().length; },
        Item(key) {
            const items = list();
            const found = typeof key === 'number' ? items[key] : items.find((x) => eq(nameOf(x), key));
            if (found === undefined) throw daoError(3265);
            return make(found);
        },
        Append(obj) { append(obj); },
        Delete(name) {
            if (!list().some((x) => eq(nameOf(x), name))) throw daoError(3265);
            remove(name);
        }
    };
}

// The engine, workspace and database over a catalogue; log.created lists every ActiveXObject asked for.
function makeDao(cat, log) {
    let systemDb = null, opened = null;
    const accounts = (kind) => () => cat.accounts.filter((a) => a.kind === kind);
    const writable = () => { if (!opened || opened.readOnly) throw daoError(3027); };

    // A container or document: UserName names whose explicit rights Permissions reads and writes.
    // A fresh object comes with every Item call, as DAO gives one.
    function secured(obj) {
        let userName = null, heldInherit = null;
        const account = () => {
            if (userName === null) throw daoError(3032, 'Permissions used before UserName was set.');
            if (!cat.account(userName)) throw daoError(3030, `'${userName}'`);
            return userName;
        };
        const target = {
            get Name() { return obj.object === '' ? obj.container : obj.object; },
            get Owner() { return cat.account(obj.owner) ? cat.account(obj.owner).name : '<Unknown>'; },
            set Owner(name) {
                writable();
                if (!cat.account(name)) throw daoError(3030, `'${name}'`);
                if ((cat.denyWrite || []).includes(`${obj.container}/${obj.object}`)) throw daoError(3033);
                obj.owner = cat.account(name).name;
            },
            set UserName(name) { userName = String(name); heldInherit = null; },
            get Permissions() { const a = cat.ace(obj, account(), false); return a ? a[1] | 0 : 0; },
            set Permissions(v) {
                const name = account();
                writable();
                if ((cat.denyWrite || []).includes(`${obj.container}/${obj.object}`)) throw daoError(3033);
                const a = cat.ace(obj, name, true);
                a[1] = v | 0;
                if (heldInherit !== null) a[2] = heldInherit;
                heldInherit = null;
            },
            get Inherit() {
                if (obj.object !== '') throw daoError(3032);
                if (heldInherit !== null) return heldInherit;
                const a = cat.ace(obj, account(), false);
                return a ? a[2] : false;
            },
            set Inherit(v) { if (obj.object !== '') throw daoError(3032); account(); heldInherit = !!v; }
        };
        if (obj.object === '') {
            target.Documents = collection(() => cat.objects.filter((o) => eq(o.container, obj.container) && o.object !== ''),
                (o) => o.object, secured, () => { throw daoError(3032); }, () => { throw daoError(3032); });
        }
        return target;
    }

    function accountObject(a) {
        const group = {
            Name: a.name,
            CreateUser(name) { return { Name: name, member: true }; }
        };
        const memberOf = () => cat.members.filter((m) => eq(m[1], a.name)).map((m) => cat.account(m[0]));
        group.Users = collection(memberOf, (u) => u.name, accountObject,
            (m) => {
                if (!cat.account(m.Name) || cat.account(m.Name).kind !== 'U') throw daoError(3265);
                if (cat.isMember(m.Name, a.name)) throw daoError(3390);
                cat.members.push([cat.account(m.Name).name, a.name]);
            },
            (name) => { cat.members = cat.members.filter((m) => !(eq(m[0], name) && eq(m[1], a.name))); });
        return group;
    }
    function accountCollection(kind) {
        return collection(accounts(kind), (a) => a.name, accountObject,
            (n) => {
                if (n.kind !== kind) throw daoError(3001);
                if (cat.account(n.Name)) throw daoError(3390);
                if (String(n.PID).length < 4 || String(n.PID).length > 20) throw daoError(3304);
                cat.accounts.push(kind === 'U' ? { name: n.Name, kind, pid: n.PID, password: n.Password } : { name: n.Name, kind, pid: n.PID });
            },
            (name) => {
                cat.accounts = cat.accounts.filter((a) => !eq(a.name, name));
                cat.members = cat.members.filter((m) => !eq(m[0], name) && !eq(m[1], name));
            });
    }

    const workspace = {
        Users: accountCollection('U'),
        Groups: accountCollection('G'),
        CreateUser(name, pid, password) { return { Name: String(name), PID: String(pid), Password: String(password), kind: 'U' }; },
        CreateGroup(name, pid) { return { Name: String(name), PID: String(pid), kind: 'G' }; },
        OpenDatabase(path, exclusive, readOnly) {
            if (opened) throw daoError(3045);
            if (!eq(path, cat.mdb)) throw daoError(3024, `'${path}'`);
            opened = { exclusive: !!exclusive, readOnly: !!readOnly };
            log.opens.push(opened);
            return { Containers: collection(() => cat.objects.filter((o) => o.object === ''), (o) => o.container, secured) };
        }
    };
    const engine = {
        set SystemDB(path) { systemDb = String(path); },
        get SystemDB() { return systemDb; },
        CreateWorkspace(name, user, password, type) {
            if (systemDb === null) throw daoError(3028);
            if (!eq(systemDb, cat.mdw)) throw daoError(3024, `'${systemDb}'`);
            if (type !== 2) throw daoError(3001);
            const a = cat.account(user);
            if (!a || a.kind !== 'U' || (!cat.anyPassword && (a.password || '') !== password)) throw daoError(3029);
            return workspace;
        }
    };
    return function ActiveXObject(progId) {
        log.created.push(progId);
        if (!(cat.engines || ['DAO.DBEngine.36']).includes(progId))
            throw Object.assign(new Error("Automation server can't create object"), { number: 0x800A01AD | 0, description: "Automation server can't create object" });
        return engine;
    };
}

// WScript over named arguments, a standard input text and two outputs ({text}); Quit ends the run.
class Quit { constructor(code) { this.code = code; } }
function makeWScript(cat, named, stdin, stdout, stderr) {
    const lines = stdin.split('\n');
    if (lines[lines.length - 1] === '') lines.pop();
    const keys = Object.keys(named);
    const find = (k) => keys.find((x) => eq(x, k));
    const stream = (sink) => ({
        Write(s) { sink.text += String(s); },
        WriteLine(s) { sink.text += String(s) + '\n'; }
    });
    return {
        ScriptFullName: cat.scriptPath,
        FullName: cat.host || 'C:\\Windows\\SysWOW64\\cscript.exe',
        Arguments: { Named: { Exists: (k) => find(k) !== undefined, Item: (k) => (find(k) === undefined ? undefined : named[find(k)]), get Count() { return keys.length; } } },
        StdIn: { get AtEndOfStream() { return lines.length === 0; }, ReadLine() { if (!lines.length) throw new Error('Input past end of file'); return lines.shift(); } },
        StdOut: stream(stdout),
        StdErr: stream(stderr),
        Echo(s) { stdout.text += String(s) + '\n'; },
        Quit(code) { throw new Quit(code | 0); }
    };
}

module.exports = { Catalogue, makeDao, makeWScript, Quit };
