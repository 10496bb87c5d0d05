'use strict';
// The package's declarations never part from include/vidlox.h: the
// prototypes it gives koffi are the header's, word for word, and the names
// index.d.ts offers are the header's constants.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const { vidlox } = require('./support');

const PACKAGE = process.env.VIDLOX_PACKAGE;
const SOURCE = process.env.VIDLOX_SOURCE;
const header = fs.readFileSync(path.join(SOURCE, 'include', 'vidlox.h'), 'utf8');
const declarations = fs.readFileSync(path.join(PACKAGE, 'index.d.ts'), 'utf8');
const { PROTOTYPES } = require(path.join(PACKAGE, 'lib', 'native.js'));

const spaced = (text) => text.replace(/\s+/g, ' ').replace(/\( /g, '(').replace(/ \)/g, ')').trim();

function headerPrototypes() {
  const found = {};
  for (const match of header.matchAll(/^int32_t\s+(vlx_\w+)\s*\(([^;]*)\);/gm)) {
    found[match[1]] = spaced(`int32_t ${match[1]}(${match[2]})`);
  }
  return found;
}

function headerGroup(prefix, except = []) {
  return [...header.matchAll(new RegExp(`^#define\\s+${prefix}(\\w+)\\s`, 'gm'))]
    .map((m) => m[1]).filter((name) => !except.includes(name)).map((name) => name.toLowerCase());
}

function declaredUnion(name) {
  const found = new RegExp(`export type ${name} =([^;]*);`).exec(declarations);
  assert.ok(found, `index.d.ts declares ${name}`);
  return [...found[1].matchAll(/'([^']*)'/g)].map((m) => m[1]);
}

test('every prototype the package calls is the header\'s', () => {
  const known = headerPrototypes();
  assert.ok(Object.keys(known).length >= 69, 'the header\'s prototypes were read');
  for (const prototype of PROTOTYPES) {
    const name = /(vlx_\w+)\(/.exec(prototype)[1];
    assert.strictEqual(spaced(prototype), known[name], name);
  }
  assert.strictEqual(new Set(PROTOTYPES).size, PROTOTYPES.length);
});

test('the names index.d.ts offers are the header\'s constants', () => {
  const table = [
    ['ControlName', headerGroup('VLX_CONTROL_', ['AUTO', 'MANUAL']), vidlox.controlNames],
    ['DeviceState', headerGroup('VLX_DEVICE_'), vidlox.deviceStates],
    ['FormatChoice', headerGroup('VLX_FORMAT_CHOICE_'), vidlox.formatChoices],
    ['StillSource', headerGroup('VLX_STILL_FROM_'), vidlox.stillSources],
  ];
  for (const [type, fromHeader, exported] of table) {
    assert.ok(fromHeader.length >= 3, type);
    assert.deepStrictEqual([...declaredUnion(type)].sort(), [...fromHeader].sort(), type);
    assert.deepStrictEqual([...exported].sort(), [...fromHeader].sort(), `${type} as the module exports it`);
  }
  assert.strictEqual(vidlox.headerVersion, Number(/#define VLX_VERSION (\d+)/.exec(header)[1]));
});

test('index.d.ts declares what the module exports, and the library is the header\'s version', async () => {
  const declared = [...declarations.matchAll(/^export (?:declare )?(?:function|const|class) (\w+)/gm)].map((m) => m[1]);
  assert.deepStrictEqual(declared.sort(), Object.keys(vidlox).sort());
  const camera = /^export class Camera [^{]*\{([\s\S]*?)^\}/m.exec(declarations)[1];
  const methods = [...camera.matchAll(/^ {2}(\w+)\(/gm)].map((m) => m[1]);
  for (const method of new Set(methods)) {
    if (method === 'on' || method === 'once') continue;
    assert.strictEqual(typeof vidlox.Camera.prototype[method], 'function', `Camera.${method}`);
  }
  const { VidloxError } = vidlox;
  const error = new VidloxError('vlx_GetFrame', -4, {});
  assert.deepStrictEqual([error.name, error.code, error.functionName, error.meaning], ['VidloxError', -4, 'vlx_GetFrame', '`*size` too small']);
});
