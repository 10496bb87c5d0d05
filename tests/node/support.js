'use strict';
// What the package's tests share: the package as staged from this build, the
// DLL and the test camera called directly (koffi, on the test's own thread),
// and the test camera's frame number read back from frame bytes.
const path = require('path');

const PACKAGE = process.env.VIDLOX_PACKAGE;
const vidlox = require(PACKAGE);
const koffi = require(path.join(PACKAGE, 'node_modules', 'koffi'));

const TWIN = 'vidlox Test Camera (twin)';
const TWIN_PATHS = [
  '\\\\?\\root#vidlox_twin#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global',
  '\\\\?\\root#vidlox_twin#0002#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global',
];

let direct = null;
// The DLL's own lists, asked on this thread (with COM of its own) while the
// package's library thread is idle; the package has initialised the library.
function dll() {
  if (direct) return direct;
  const ole32 = koffi.load('ole32.dll');
  ole32.func('long __stdcall CoInitializeEx(void* reserved, uint32_t init)')(null, 2);
  const library = koffi.load(path.join(PACKAGE, 'win32-x64', 'vidlox64.dll'));
  const camera = koffi.load(path.join(process.env.VIDLOX_BIN, 'vidlox-testcam64.dll'));
  const list = (size, fill) => (...args) => {
    const bytes = library.func(`int32_t ${size}(${args.map((_, i) => `int32_t a${i}`).join(', ') || 'void'})`)(...args);
    if (bytes < 1) return { code: bytes, lines: [] };
    const buffer = Buffer.alloc(bytes);
    const count = library.func(`int32_t ${fill}(char* buffer${args.map((_, i) => `, int32_t a${i}`).join('')})`)(buffer, ...args);
    const lines = buffer.toString('utf8', 0, buffer.indexOf(0)).split('\r\n').slice(0, -1);
    return { code: count, lines };
  };
  direct = {
    devices: list('vlx_GetDeviceListSize', 'vlx_GetDeviceList'),
    paths: list('vlx_GetDevicePathListSize', 'vlx_GetDevicePathList'),
    codecs: list('vlx_GetCodecListSize', 'vlx_GetCodecList'),
    formats: list('vlx_GetFormatListSize', 'vlx_GetFormatList'),
    unplug: camera.func('int32_t __cdecl vlxcam_Unplug(const wchar_t* device_path)'),
    replug: camera.func('int32_t __cdecl vlxcam_Replug(const wchar_t* device_path)'),
    stall: camera.func('int32_t __cdecl vlxcam_Stall(const wchar_t* device_path, int32_t milliseconds)'),
    pressButton: camera.func('int32_t __cdecl vlxcam_PressButton(const wchar_t* device_path)'),
  };
  return direct;
}

// The number the test camera paints into every frame (vidlox_testcam.h):
// 32 cells, most significant bit first, across the middle band.
function paintedNumber(frame) {
  const { data, width, height, stride, bottomUp } = frame;
  const cell = Math.floor(width / 64);
  const y = Math.floor((Math.floor((7 * height) / 16) + Math.floor((9 * height) / 16)) / 2);
  const row = bottomUp ? height - 1 - y : y;
  let number = 0;
  for (let i = 0; i < 32; i += 1) {
    const x = Math.floor(width / 4) + i * cell + Math.floor(cell / 2);
    number = number * 2 + (data[row * stride + x * 3 + 1] >= 128 ? 1 : 0);
  }
  return number;
}

// The colour at upright picture position (x, y), as [red, green, blue].
function pixel(frame, x, y) {
  const row = frame.bottomUp ? frame.height - 1 - y : y;
  const at = row * frame.stride + x * 3;
  return [frame.data[at + 2], frame.data[at + 1], frame.data[at]];
}

async function firstFrames(camera, count) {
  const frames = [];
  for await (const frame of camera.frames()) {
    frames.push(frame);
    if (frames.length === count) break;
  }
  return frames;
}

module.exports = { vidlox, koffi, dll, paintedNumber, pixel, firstFrames, TWIN, TWIN_PATHS };
