// The CommonJS package as an ES module imports it: the default export and
// the named ones (Node finds them by reading index.js).
import test from 'node:test';
import assert from 'node:assert';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const url = pathToFileURL(path.join(process.env.VIDLOX_PACKAGE, 'index.js')).href;

test('import gives the default and every named export', async () => {
  const module = await import(url);
  const names = Object.keys(module.default).sort();
  assert.deepStrictEqual(Object.keys(module).filter((name) => name !== 'default').sort(), names);
  const { listDevices, VidloxError } = module;
  const devices = await listDevices();
  assert.strictEqual(devices[0].name, 'vidlox Test Camera');
  await assert.rejects(module.open('no such camera'), VidloxError);
});
