'use strict';
// vidlox: video capture on 64-bit Windows through vidlox64.dll, in
// JavaScript's terms. Every call into the library runs on one worker thread
// of its own (the library's threading rule), so every function that asks
// the library something answers a promise and the calling thread never waits
// for a camera.
const { LibraryThread } = require('./lib/thread');
const { Camera, checkSize } = require('./lib/camera');
const {
  VidloxError, argumentError, wholeNumber, describe, constants, CONTROLS, DEVICE_STATES, FORMAT_CHOICES, STILL_SOURCES,
} = require('./lib/errors');

const thread = new LibraryThread();

// An index (0, 1 ...), a device path, a friendly name, or NAME#N (the N-th
// device of that name, from 0), as the vidlox command-line tool takes it.
function checkDevice(device) {
  if (typeof device === 'string' && device !== '') return device;
  if (typeof device === 'number') return wholeNumber(device, 'the device index');
  throw argumentError('ERR_INVALID_ARG_TYPE', `a device is an index, a name or a path, not ${describe(device)}`);
}

async function listDevices() {
  return thread.request('devices');
}

async function listFormats(device) {
  return thread.request('formats', { device: checkDevice(device) });
}

async function listCodecs() {
  return thread.request('codecs');
}

async function open(device, options = {}) {
  checkDevice(device);
  if (typeof options !== 'object' || options === null) {
    throw argumentError('ERR_INVALID_ARG_TYPE', `open's options must be an object, not ${describe(options)}`);
  }
  const width = wholeNumber(options.width, 'width');
  const height = wholeNumber(options.height, 'height');
  let fps = 0;
  if (options.fps !== undefined) {
    if (typeof options.fps !== 'number') throw argumentError('ERR_INVALID_ARG_TYPE', `fps must be a number, not ${describe(options.fps)}`);
    if (!(options.fps > 0 && Number.isFinite(options.fps))) throw argumentError('ERR_INVALID_ARG_VALUE', `fps must be above 0, not ${options.fps}`);
    fps = options.fps;
  }
  const subtype = options.subtype === undefined ? '' : options.subtype;
  if (typeof subtype !== 'string') throw argumentError('ERR_INVALID_ARG_TYPE', `subtype must be a string, not ${describe(subtype)}`);
  const still = options.still === undefined || options.still === false || options.still === true
    ? options.still === true : checkSize(options.still, 'the still size');
  const requested = width || height || fps || subtype;
  const choice = options.choice === undefined ? (requested ? 'exact' : 'all') : options.choice;
  if (!(choice in FORMAT_CHOICES)) {
    throw argumentError('ERR_INVALID_ARG_VALUE', `choice must be one of ${Object.keys(FORMAT_CHOICES).join(' ')}, not ${describe(choice)}`);
  }
  const audio = checkMicrophone(options.audio);
  const audioFormat = checkAudioFormat(options.audioFormat);
  const opened = await thread.request('open', { device, width, height, fps, subtype, choice, still, audio, audioFormat });
  return new Camera(thread, opened);
}

// A microphone as the audio device lists give it: an index, a name or a path.
function checkMicrophone(audio) {
  if (audio === undefined || audio === null) return undefined;
  if (typeof audio === 'string' && audio !== '') return audio;
  if (typeof audio === 'number') return wholeNumber(audio, 'the audio device index');
  throw argumentError('ERR_INVALID_ARG_TYPE', `an audio device is an index, a name or a path, not ${describe(audio)}`);
}

function checkAudioFormat(format) {
  if (format === undefined) return undefined;
  const { rate, channels, bits } = format || {};
  return [wholeNumber(rate, 'the audio rate', 1), wholeNumber(channels, 'the audio channels', 1), wholeNumber(bits, 'the audio bits', 1)];
}

// Records `device` (and the microphone `options.audio`) into the AVI file
// `file` for `options.seconds` (5): the picture uncompressed, or through the
// video compressor named `options.codec`; the sound in sync beside it.
async function record(device, file, options = {}) {
  checkDevice(device);
  if (typeof file !== 'string' || file === '') throw argumentError('ERR_INVALID_ARG_TYPE', `the file must be a file name, not ${describe(file)}`);
  const seconds = options.seconds === undefined ? 5 : options.seconds;
  if (typeof seconds !== 'number' || !(seconds > 0 && Number.isFinite(seconds))) {
    throw argumentError('ERR_INVALID_ARG_VALUE', `seconds must be a number above 0, not ${describe(seconds)}`);
  }
  if (options.codec !== undefined && (typeof options.codec !== 'string' || options.codec === '')) {
    throw argumentError('ERR_INVALID_ARG_TYPE', `codec must be a compressor's name, not ${describe(options.codec)}`);
  }
  return thread.request('record', { device, file: require('path').resolve(file), seconds, codec: options.codec,
    audio: checkMicrophone(options.audio), audioFormat: checkAudioFormat(options.audioFormat) });
}

// How many times each export of the library has been called in this process
// (a name the library thread never called is absent): for diagnostics, and
// for tests that check what reached the library.
function libraryCalls() {
  if (!thread.worker) return Promise.resolve({});
  return thread.request('calls');
}

// One assignment per name: Node's ES module loader finds named exports of a
// CommonJS module by reading these lines, so that `import { open } from
// 'vidlox'` works beside the default import.
exports.listDevices = listDevices;
exports.listFormats = listFormats;
exports.listCodecs = listCodecs;
exports.open = open;
exports.record = record;
exports.libraryCalls = libraryCalls;
exports.Camera = Camera;
exports.VidloxError = VidloxError;
exports.controlNames = Object.keys(CONTROLS);
exports.deviceStates = Object.keys(DEVICE_STATES);
exports.formatChoices = Object.keys(FORMAT_CHOICES);
exports.stillSources = Object.keys(STILL_SOURCES);
exports.headerVersion = constants.VLX_VERSION;
