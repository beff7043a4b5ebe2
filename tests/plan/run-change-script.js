'use strict';
// Runs a change script as cscript would, against the DAO stand-in:
//   node run-change-script.js SCRIPT CATALOGUE.json STATE_OUT.json [/name[:value] ...] < stdin
// The script's standard output and error pass through and its exit status is this program's. Before it
// runs, the file must be ASCII and parse as ECMAScript 3 (status 100), and it runs where the ES5
// built-ins JScript lacks are gone. Creating any COM object but a DAO engine gives status 101.
// The catalogue after the run is written to STATE_OUT.json.
//   node run-change-script.js --dump CATALOGUE.json   prints the catalogue as sorted lines.
//   node run-change-script.js --from-dump ACCOUNTS DUMP MDB_NAME MDW_NAME   prints a catalogue made of
//     keyloupe-jet's accounts and dump output, its files in C:\Plan\ with the script, any password taken.
const fs = require('fs');
const vm = require('vm');
const { Catalogue, makeDao, makeWScript, Quit } = require('./dao-standin.js');

function loadAcorn() {
    for (const where of ['acorn', '/usr/share/nodejs/acorn', '/usr/lib/nodejs/acorn'])
        try { return require(where); } catch (e) { /* next */ }
    throw new Error('acorn is not installed (Debian package node-acorn)');
}

// JScript reads a trailing comma in an array literal as one more element: none may appear.
function checkSyntax(text) {
    if (!/^[\x00-\x7F]*$/.test(text)) throw new Error('the script is not ASCII');
    const acorn = loadAcorn();
    const ast = acorn.parse(text, { ecmaVersion: 3, allowReserved: 'never', locations: true });
    (function walk(node) {
        if (!node || typeof node.type !== 'string') return;
        if (node.type === 'ArrayExpression') {
            const last = node.elements[node.elements.length - 1];
            if (node.elements.includes(null) || (last && /,/.test(text.slice(last.end, node.end))))
                throw new Error(`array literal with an empty element at line ${node.loc.start.line}`);
        }
        for (const k of Object.keys(node)) {
            const v = node[k];
            if (Array.isArray(v)) v.forEach(walk);
            else if (v && typeof v === 'object' && k !== 'loc') walk(v);
        }
    })(ast);
}

// The ES5 members JScript 5.8 does not have.
const REMOVED = `delete this.JSON; delete Object.keys; delete Object.create; delete Object.defineProperty;
    delete Object.getPrototypeOf; delete Array.isArray; delete Function.prototype.bind; delete Date.now;
    delete String.prototype.trim; ['forEach', 'map', 'filter', 'indexOf', 'lastIndexOf', 'every', 'some',
    'reduce', 'reduceRight'].forEach(function (m) { delete Array.prototype[m]; });`;

function run(scriptFile, catalogueFile, stateFile, argv, stdin) {
    const text = fs.readFileSync(scriptFile, 'latin1');
    try {
        checkSyntax(text);
    } catch (e) {
        process.stderr.write(`run-change-script: ${e.message}\n`);
        return 100;
    }
    const cat = new Catalogue(JSON.parse(fs.readFileSync(catalogueFile, 'utf8')));
    const named = {};
    for (const a of argv) {
        const m = /^\/([^:]+)(?::(.*))?$/s.exec(a);
        if (m) named[m[1]] = m[2];
    }
    const stdout = { text: '' }, stderr = { text: '' }, log = { created: [], opens: [] };
    const context = vm.createContext({ WScript: makeWScript(cat, named, stdin, stdout, stderr), ActiveXObject: makeDao(cat, log) });
    vm.runInContext(REMOVED, context);
    let code = 0;
    try {
        vm.runInContext(text, context, { filename: scriptFile });
        stderr.text += 'run-change-script: the script ended without WScript.Quit\n';
        code = 99;
    } catch (e) {
        if (!(e instanceof Quit)) throw e;
        code = e.code;
    }
    process.stdout.write(stdout.text);
    process.stderr.write(stderr.text);
    if (log.created.some((id) => !/^DAO\.DBEngine\.3[56]$/.test(id))) {
        process.stderr.write(`run-change-script: COM objects created: ${log.created.join(', ')}\n`);
        return 101;
    }
    if (log.opens.length > 1) code = 102;
    const { accounts, members, objects, mdb, mdw, scriptPath, engines, denyWrite, anyPassword } = cat;
    fs.writeFileSync(stateFile, JSON.stringify({ mdb, mdw, scriptPath, engines, denyWrite, anyPassword, accounts, members, objects }, null, 1));
    fs.writeFileSync(stateFile + '.opens', log.opens.map((o) => `exclusive=${o.exclusive} readOnly=${o.readOnly}`).join('\n') + '\n');
    return code;
}

// The catalogue that keyloupe-jet's accounts and dump lines describe (TAB-separated fields).
function fromDump(accountsText, dumpText, mdbName, mdwName) {
    const rows = (text) => text.split('\n').filter((l) => l !== '').map((l) => l.split('\t'));
    const cat = { mdb: `C:\\Plan\\${mdbName}`, mdw: `C:\\Plan\\${mdwName}`, scriptPath: 'C:\\Plan\\change.js',
        engines: ['DAO.DBEngine.35', 'DAO.DBEngine.36'], anyPassword: true, accounts: [], members: [], objects: [] };
    for (const [kind, name, ...groups] of rows(accountsText)) {
        cat.accounts.push({ name, kind, password: '' });
        for (const g of groups) cat.members.push([name, g]);
    }
    const objects = new Map();
    for (const [container, object, , account, explicit, , inherit, owner] of rows(dumpText)) {
        const name = object === '<container>' ? '' : object, k = JSON.stringify([container, name]);
        if (!objects.has(k)) objects.set(k, { container, object: name, owner: '<Unknown>', acl: [] });
        const o = objects.get(k);
        if (owner === 'O') o.owner = account;
        const perms = explicit === '?' ? 0 : parseInt(explicit, 16) | 0;
        if (perms || inherit === 'T') o.acl.push([account, perms, inherit === 'T']);
    }
    cat.objects = [...objects.values()];
    return cat;
}

const args = process.argv.slice(2);
if (args[0] === '--from-dump') {
    const read = (f) => fs.readFileSync(f, 'utf8');
    process.stdout.write(JSON.stringify(fromDump(read(args[1]), read(args[2]), args[3], args[4]), null, 1) + '\n');
} else if (args[0] === '--dump') {
    process.stdout.write(new Catalogue(JSON.parse(fs.readFileSync(args[1], 'utf8'))).dump().join('\n') + '\n');
} else {
    const stdin = fs.readFileSync(0, 'utf8');
    process.exitCode = run(args[0], args[1], args[2], args.slice(3), stdin);
}
