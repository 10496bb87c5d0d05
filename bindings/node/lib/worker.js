'use strict';
// The library thread. vidlox64.dll takes every capture call from the thread
// that called vlx_Init, one at a time: this worker is that thread. It answers
// the main thread's requests ({id, op, ...}) one after the other, and while
// a camera's frames are wanted it waits for them with vlx_WaitFrame and takes
// each with vlx_GetFrame straight into a buffer of the camera's pool, shared
// with the main thread, which hands it back when the frame is released or
// collected: the one copy a frame costs is the library's, into memory that
// is already there, and the main thread answers a frame without a message.
// It watches the state of every open camera with vlx_GetDeviceState and
// tells the main thread when it changes.
const { parentPort, workerData } = require('worker_threads');
const koffi = require('koffi');
const native = require('./native');
const { constants: C, CONTROLS, FORMAT_CHOICES, DEVICE_STATES, STILL_SOURCES, nameOf } = require('./errors');

const calls = {};
const v = native.load(workerData.dll, calls);
v.vlx_Init();  // any result leaves the library initialised on this thread

// How long one vlx_WaitFrame may keep this thread from the next request.
const WAIT_SLICE_MS = 40;
// How often the state of a camera is read while nothing else asks for it.
const STATE_EVERY_MS = 100;
// How long a snapshot waits for a camera's first frame.
const FIRST_FRAME_MS = C.VLX_FIRST_FRAME_WAIT_MS + 2000;
// How long a still on request may take to come.
const STILL_MS = 5000;
// States that end a camera's frames: no frame comes after them.
const FINAL_STATES = [C.VLX_DEVICE_LOST, C.VLX_DEVICE_ERROR, C.VLX_DEVICE_IN_USE];

const cameras = new Map();  // slot -> camera record
let nextOpening = 1;  // tells the cameras one slot held apart
const recording = new Set();  // slots that record() holds
let pumping = false;
let stateTimer = null;

class Refusal extends Error {
  constructor(functionName, code, details = {}) {
    super(`${functionName} answered ${code}`);
    this.wire = { functionName, code, ...details };
  }
}

function select(slot) {
  v.vlx_SetActiveSel(slot);
}

// ---- Lists: a size query, then the list into a buffer of that size.
function listLines(sizeName, listName, args, nothingInstalled) {
  const size = v[sizeName](...args);
  if (size === nothingInstalled) return [];
  if (size < 0) throw new Refusal(sizeName, size);
  const buffer = Buffer.alloc(size);
  const count = v[listName](buffer, ...args);
  if (count === nothingInstalled) return [];
  if (count < 0) throw new Refusal(listName, count);
  const end = buffer.indexOf(0);
  const lines = buffer.toString('utf8', 0, end < 0 ? size : end).split('\r\n');
  lines.pop();  // after the last CR LF
  return lines;
}

function devices() {
  const names = listLines('vlx_GetDeviceListSize', 'vlx_GetDeviceList', [0], -2);
  const paths = listLines('vlx_GetDevicePathListSize', 'vlx_GetDevicePathList', [0], -3);
  return names.map((name, index) => ({ index, name, path: paths[index] || '' }));
}

// A device as the command-line tool takes it: an index, or a path or name,
// or NAME#N, the N-th device of that name.
function resolve(device) {
  const known = devices();
  let index = device;
  if (typeof device === 'string') {
    index = v.vlx_FindDevice(device, 0);
    const twin = /^(.*)#(\d{1,9})$/.exec(device);
    if (index === -4 && twin) index = v.vlx_FindDevice(twin[1], Number(twin[2]));
    if (index < 0) throw new Refusal('vlx_FindDevice', index, { context: `no video capture device "${device}"` });
  } else if (index >= known.length) {
    // vlx_Open's own answer for it, given without building a graph.
    throw new Refusal('vlx_Open', -4, { context: `device ${device}; ${known.length} installed` });
  }
  return known[index] || { index, name: '', path: '' };
}

function formats(device) {
  const { index } = resolve(device);
  return listLines('vlx_GetFormatListSize', 'vlx_GetFormatList', [index], undefined).map((line) => {
    const [capability, subtype, width, height, minFps, maxFps, kind] = line.split(' ');
    return { index: Number(capability), subtype, width: Number(width), height: Number(height),
      minFps: Number(minFps), maxFps: Number(maxFps), kind };
  });
}

// ---- Sound: a microphone by index, name or path (the audio lists), for the
// next vlx_Open of the selected slot; none when `audio` is undefined.
function chooseAudio(audio, audioFormat) {
  const names = listLines('vlx_GetDeviceListSize', 'vlx_GetDeviceList', [1], -2);
  const paths = listLines('vlx_GetDevicePathListSize', 'vlx_GetDevicePathList', [1], -3);
  let set;
  if (audio === undefined) set = v.vlx_SetAudioDevice(-1);
  else if (typeof audio === 'number') set = v.vlx_SetAudioDevice(audio);
  else if (names.includes(audio)) set = v.vlx_SetAudioDevice(names.indexOf(audio));
  else if (paths.includes(audio)) set = v.vlx_SetAudioDevicePath(audio);
  else throw new Refusal('vlx_Open', -120, { context: `no audio capture device "${audio}"` });
  if (set < 0) throw new Refusal('vlx_SetAudioDevice', set, { context: `audio device ${audio}` });
  const [rate, channels, bits] = audioFormat || [0, 0, 0];
  const formatted = v.vlx_SetAudioFormat(rate, channels, bits);
  if (formatted < 0) throw new Refusal('vlx_SetAudioFormat', formatted, { context: `${rate} Hz ${channels} ch ${bits} bits` });
}

function audioFormatInForce() {
  const rate = new Int32Array(1), channels = new Int32Array(1), bits = new Int32Array(1);
  return v.vlx_GetAudioFormat(rate, channels, bits) === 0 ? { rate: rate[0], channels: channels[0], bits: bits[0] } : null;
}

// A UTF-16 copy of `text` in memory of its own, for vlx_Open's name
// arguments (intptr_t): its address, and the memory to free after the call.
function wideName(text) {
  const units = [...Buffer.from(`${text}\0`, 'utf16le')].reduce((all, byte, i) => {
    if (i % 2) all[all.length - 1] |= byte << 8; else all.push(byte);
    return all;
  }, []);
  const memory = koffi.alloc('uint16_t', units.length);
  koffi.encode(memory, 'uint16_t', units, units.length);
  return { address: koffi.address(memory), memory };
}

// A recording into an AVI file (render mode 300) with the microphone `audio`
// beside the camera, for `seconds`; closed (the file complete) before it answers.
async function record({ device, file, audio, audioFormat, codec, seconds }) {
  let slot = 0;
  while (cameras.has(slot) || recording.has(slot)) slot += 1;
  if (slot >= C.VLX_SLOT_COUNT) throw new Refusal('vlx_SetActiveSel', -1, { context: 'every slot is in use' });
  const found = resolve(device);
  select(slot);
  chooseAudio(audio, audioFormat);
  const names = [wideName(file), codec ? wideName(codec) : null];
  let opened;
  try {
    opened = v.vlx_Open(found.index, 300, 0, names[0].address, names[1] ? names[1].address : 0);
  } finally {
    for (const name of names) if (name) koffi.free(name.memory);
  }
  v.vlx_SetAudioDevice(-1);
  if (opened < 0) throw new Refusal('vlx_Open', opened, { context: `device ${found.index} "${found.name}" into ${file}` });
  recording.add(slot);
  try {
    const sound = audioFormatInForce();
    const played = v.vlx_Play2();
    if (played < 0) throw new Refusal('vlx_Play2', played);
    await new Promise((done) => setTimeout(done, seconds * 1000));
    select(slot);
    const state = nameOf(DEVICE_STATES, v.vlx_GetDeviceState()) || null;
    return { file, seconds, device: found.name, audio: sound, state };
  } finally {
    select(slot);
    v.vlx_Stop();
    v.vlx_Close();
    recording.delete(slot);
  }
}

function formatInForce() {
  const subtype = Buffer.alloc(C.VLX_SUBTYPE_TEXT_SIZE);
  const width = new Int32Array(1), height = new Int32Array(1), rate = new Float64Array(1);
  const read = v.vlx_GetDevFormat(subtype, width, height, rate);
  if (read < 0) throw new Refusal('vlx_GetDevFormat', read);
  return { subtype: subtype.toString('latin1', 0, subtype.indexOf(0)), width: width[0], height: height[0], fps: rate[0] };
}

// ---- Stills: the still pin's sizes, largest first as devices list them.
function stillSizes(index) {
  return listLines('vlx_GetStillFormatListSize', 'vlx_GetStillFormatList', [index], undefined)
    .map((line) => line.split(' ')).filter((f) => f[4] === 'VIDEOINFOHEADER')
    .map(([width, height]) => ({ width: Number(width), height: Number(height) }));
}

// The still size `asked` ({width, height}; null: the pin's first) among
// `sizes`, or null for a device without a still pin, whose stills are
// capture frames. 1 is vlx_SetStillSize's own answer for such a device.
function stillSize(sizes, asked) {
  if (sizes.length > 0) return asked || sizes[0];
  if (asked) throw new Refusal('vlx_SetStillSize', 1, { meaning: 'the device has no still pin: its stills are capture frames at the capture size' });
  return null;
}

// ---- Cameras
function open({ device, width, height, fps, subtype, choice, still, audio, audioFormat }) {
  let slot = 0;
  while (cameras.has(slot) || recording.has(slot)) slot += 1;
  if (slot >= C.VLX_SLOT_COUNT) throw new Refusal('vlx_SetActiveSel', -1, { context: `all ${C.VLX_SLOT_COUNT} slots hold a camera` });
  const found = resolve(device);
  select(slot);
  const stored = v.vlx_SetDevSubtype(subtype || '');
  if (stored < 0) throw new Refusal('vlx_SetDevSubtype', stored, { context: `subtype "${subtype}"` });
  v.vlx_SetDevWidth(width);
  v.vlx_SetDevHeight(height);
  v.vlx_SetDevFrameRate(fps);
  v.vlx_SetDevFormatChoice(FORMAT_CHOICES[choice]);
  // Stills asked for now are built with the graph: no restart later.
  const pinSizes = still ? stillSizes(found.index) : null;
  const stills = still ? stillSize(pinSizes, still === true ? null : still) : null;
  const asked = v.vlx_SetStillSize(stills ? stills.width : 0, stills ? stills.height : 0);
  if (asked < 0) throw new Refusal('vlx_SetStillSize', asked, { context: `${stills.width}x${stills.height}` });
  chooseAudio(audio, audioFormat);
  const opened = v.vlx_Open(found.index, 6, 0, 0, 0);  // 6: Null Renderer, no window
  v.vlx_SetAudioDevice(-1);  // the slot's next open chooses again
  if (opened < 0) throw new Refusal('vlx_Open', opened, { context: `device ${found.index} "${found.name}"` });
  if (opened === 1 && choice !== 'all') {
    v.vlx_Close();
    throw new Refusal('vlx_Open', 1, { meaning: 'the device refused the requested format' });
  }
  let camera;
  try {
    const played = v.vlx_Play2();
    if (played < 0) throw new Refusal('vlx_Play2', played);
    // A device another program holds, or whose start failed, would never
    // deliver: the open fails with its state.
    const state = v.vlx_GetDeviceState();
    if (FINAL_STATES.includes(state)) throw new Refusal('vlx_GetDeviceState', state, stateDetails(state));
    camera = { slot, opening: nextOpening++, stream: 0, credit: null, free: null, pool: [], checked: 0, state, format: formatInForce(), allocated: 0,
      index: found.index, pinSizes, stills, takingStill: false,
      audio: audioFormatInForce(), sound: 0, soundCredit: 0 };
  } catch (error) {
    v.vlx_Stop();
    v.vlx_Close();
    throw error;
  }
  cameras.set(slot, camera);
  watchStates();
  return { slot, opening: camera.opening, ...found, format: camera.format, audio: camera.audio, state: nameOf(DEVICE_STATES, camera.state) || 'waiting' };
}

// Closes the camera of that opening: a slot another camera has taken since
// is not its to close.
function close({ slot, opening }) {
  const camera = cameras.get(slot);
  if (!camera || camera.opening !== opening) return;
  cameras.delete(slot);
  select(slot);
  v.vlx_Stop();  // -1 when it no longer runs: closing is all that is left
  const closed = v.vlx_Close();
  v.vlx_SetStillSize(0, 0);  // the slot's next camera asks for none
  if (cameras.size === 0) {
    clearInterval(stateTimer);
    stateTimer = null;
  }
  if (closed < 0) throw new Refusal('vlx_Close', closed);
}

function controls({ slot }) {
  select(slot);
  return listLines('vlx_GetControlListSize', 'vlx_GetControlList', [], undefined).map((line) => {
    const [id, name, min, max, step, dflt, modes, value, mode] = line.split('\t').map((f) => f.trim());
    return { id: Number(id), name, min: Number(min), max: Number(max), step: Number(step), default: Number(dflt),
      auto: (Number(modes) & C.VLX_CONTROL_AUTO) !== 0, manual: (Number(modes) & C.VLX_CONTROL_MANUAL) !== 0,
      value: Number(value), mode: modeName(Number(mode)) };
  });
}

function modeName(mode) {
  if (mode & C.VLX_CONTROL_AUTO) return 'auto';
  return mode & C.VLX_CONTROL_MANUAL ? 'manual' : null;
}

function setControl({ slot, name, value }) {
  select(slot);
  const auto = value === 'auto';
  const set = v.vlx_SetControl(CONTROLS[name], auto ? 0 : value, auto ? C.VLX_CONTROL_AUTO : C.VLX_CONTROL_MANUAL);
  if (set < 0) throw new Refusal('vlx_SetControl', set, { context: `${name} = ${value}` });
  const held = new Int32Array(1), mode = new Int32Array(1);
  const read = v.vlx_GetControl(CONTROLS[name], held, mode);
  if (read < 0) throw new Refusal('vlx_GetControl', read, { context: name });
  return { value: held[0], mode: modeName(mode[0]), asked: set === 0 };
}

// The newest frame written to `file`; a camera that has not delivered its
// first frame yet is given the time cameras take for it.
async function snapshot({ slot, file, format, quality }) {
  const deadline = Date.now() + FIRST_FRAME_MS;
  for (;;) {
    if (!cameras.has(slot)) throw new Refusal('vlx_SaveImage', -1, { context: 'the camera was closed' });
    select(slot);
    const saved = v.vlx_SaveImage(file, format, quality, 0, 0);
    if (saved === 0) return;
    if (saved !== -7 || Date.now() > deadline) throw new Refusal('vlx_SaveImage', saved, { context: file });
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// ---- Profiles
function saveProfile({ slot, file }) {
  select(slot);
  const saved = v.vlx_SaveProfile(file);
  if (saved < 0) throw new Refusal('vlx_SaveProfile', saved, { context: file });
  return saved;
}

// What became of each line of the profile the slot applied last.
function profileReport() {
  return listLines('vlx_GetProfileReportSize', 'vlx_GetProfileReport', [], undefined).map((line) => {
    const [number, outcome, name] = line.split(' ');
    return { line: Number(number), outcome, name: name === '-' ? null : name };
  });
}

function applyProfile({ slot, file, anyDevice }) {
  select(slot);
  const applied = v.vlx_ApplyProfile(file, anyDevice ? C.VLX_PROFILE_ANY_DEVICE : 0);
  if (applied < 0) throw new Refusal('vlx_ApplyProfile', applied, { context: file });
  return { applied, report: profileReport() };
}

// A still of the camera: its still pin's at `size` (the size it has, else
// its first; another size stops the camera, sets it and runs it again), or
// the next capture frame of a device without a still pin. Button stills
// that come meanwhile go out as 'still' events.
async function still({ slot, size }) {
  const camera = cameras.get(slot);
  if (!camera) throw new Refusal('vlx_TriggerStill', -1, { context: 'the camera was closed' });
  select(slot);
  camera.pinSizes = camera.pinSizes || stillSizes(camera.index);
  const wanted = stillSize(camera.pinSizes, size || camera.stills);
  if (wanted && (!camera.stills || wanted.width !== camera.stills.width || wanted.height !== camera.stills.height)) {
    v.vlx_Stop();
    const set = v.vlx_SetStillSize(wanted.width, wanted.height);
    const played = v.vlx_Play2();
    if (set < 0) throw new Refusal('vlx_SetStillSize', set, { context: `${wanted.width}x${wanted.height}` });
    if (played < 0) throw new Refusal('vlx_Play2', played);
    camera.stills = wanted;
  }
  camera.takingStill = true;
  try {
    const fired = v.vlx_TriggerStill();
    if (fired < 0) throw new Refusal('vlx_TriggerStill', fired);
    const deadline = Date.now() + STILL_MS;
    for (;;) {
      if (!cameras.has(slot)) throw new Refusal('vlx_WaitStill', -5, { context: 'the camera was closed' });
      select(slot);
      const waited = v.vlx_WaitStill(0);
      if (waited < 0) throw new Refusal('vlx_WaitStill', waited);
      const taken = waited === 0 ? takeStill(camera) : null;
      if (taken && taken.source !== 'button') return taken;
      if (taken) sendStill(camera, taken);
      else if (Date.now() > deadline) throw new Refusal('vlx_WaitStill', 1, { context: `no still within ${STILL_MS} ms` });
      else await new Promise((resolve) => setTimeout(resolve, 10));
    }
  } finally {
    camera.takingStill = false;
  }
}

function takeStill(camera) {
  const size = new Int32Array(1);
  const header = Buffer.alloc(44);
  let read = v.vlx_GetStill(null, size, header, null);
  if (read < 0) throw new Refusal('vlx_GetStill', read);
  const pixels = Buffer.allocUnsafeSlow(Math.max(size[0], 1));
  const info = new BigInt64Array(C.VLX_STILL_INFO_COUNT);
  read = v.vlx_GetStill(pixels, size, header, info);
  if (read < 0) throw new Refusal('vlx_GetStill', read);
  const height = header.readInt32LE(8);
  const sampleTime = Number(info[C.VLX_STILL_SAMPLE_TIME]);
  return { buffer: pixels.buffer, length: size[0], width: header.readInt32LE(4), height: Math.abs(height),
    bottomUp: height > 0, number: Number(info[C.VLX_STILL_NUMBER]), sampleTime: sampleTime === -1 ? null : sampleTime / 1e4,
    arrival: Number(info[C.VLX_STILL_ARRIVAL]) / 1e4, source: nameOf(STILL_SOURCES, Number(info[C.VLX_STILL_SOURCE])) };
}

function sendStill(camera, taken) {
  parentPort.postMessage({ event: 'still', slot: camera.slot, ...taken }, [taken.buffer]);
}

// Stills the camera's button sent while nobody asked for one.
function checkButton(camera) {
  if (!camera.stills || camera.takingStill) return;
  select(camera.slot);
  while (v.vlx_WaitStill(0) === 0) sendStill(camera, takeStill(camera));
}

// ---- Frames
// What the main thread shares with this one, as Int32Arrays over its
// SharedArrayBuffers: a stream's `credit` (the frames it wants beyond those
// sent) and a camera's `free` flags (1 while buffer i of the camera's pool is
// free). The main thread adds credit and frees buffers with Atomics, without
// a message; it rings `bell` (one for all) when it adds credit, which wakes
// this thread when no stream has any.
let bell = null;

function stream({ slot, stream: id, credit, free, doorbell }) {
  bell = new Int32Array(doorbell);
  const camera = cameras.get(slot);
  if (!camera) return;
  camera.stream = id;
  camera.credit = id ? new Int32Array(credit) : null;
  if (free && (!camera.free || camera.free.buffer !== free)) camera.free = new Int32Array(free);
  if (id && FINAL_STATES.includes(camera.state)) return end(camera, stateDetails(camera.state));
  pump();
}

// ---- Sound blocks: the same credit as frames, each block once, oldest first.
function sound({ slot, stream: id, credit }) {
  const camera = cameras.get(slot);
  if (!camera) return;
  if (id && !camera.audio) {
    return parentPort.postMessage({ event: 'audioEnd', slot, stream: id,
      error: { functionName: 'vlx_WaitAudio', code: -2, context: 'the camera was opened without an audio device' } });
  }
  camera.sound = id;
  camera.soundCredit = credit;
  pump();
}

function soundAck({ slot, stream: id }) {
  const camera = cameras.get(slot);
  if (!camera || camera.sound !== id) return;
  camera.soundCredit += 1;
  pump();
}

function takeBlock(camera) {
  const size = new Int32Array(1);
  if (v.vlx_GetAudio(null, size, null) < 0) return;
  const pcm = Buffer.allocUnsafeSlow(Math.max(size[0], 1));
  const info = new BigInt64Array(C.VLX_AUDIO_INFO_COUNT);
  const taken = v.vlx_GetAudio(pcm, size, info);
  if (taken < 0) return;
  camera.soundCredit -= 1;
  const number = (i) => Number(info[i]);
  const levels = [];
  for (let c = 0; c < camera.audio.channels && c < C.VLX_AUDIO_LEVEL_CHANNELS; c += 1) {
    levels.push({ peak: number(C.VLX_AUDIO_PEAK + 2 * c) / C.VLX_AUDIO_FULL_SCALE,
      rms: number(C.VLX_AUDIO_RMS + 2 * c) / C.VLX_AUDIO_FULL_SCALE });
  }
  const sampleTime = number(C.VLX_AUDIO_SAMPLE_TIME);
  parentPort.postMessage({ event: 'audio', slot: camera.slot, stream: camera.sound, buffer: pcm.buffer, length: size[0],
    ...camera.audio, number: number(C.VLX_AUDIO_NUMBER), sampleTime: sampleTime === -1 ? null : sampleTime / 1e4,
    arrival: number(C.VLX_AUDIO_ARRIVAL) / 1e4, missed: number(C.VLX_AUDIO_MISSED), levels }, [pcm.buffer]);
}

function pump() {
  if (pumping) return;
  pumping = true;
  setImmediate(pumpOnce);
}

// One round over the cameras whose frames are wanted: each waits up to a
// slice for a frame (shorter when several share the round), and the thread
// comes back to its requests between rounds. With streams but no credit, it
// waits up to a slice for the main thread to ask for more.
function pumpOnce() {
  pumping = false;
  // Sound first: every block that waits, as far as the consumer's credit goes.
  let sounding = false;
  for (const camera of cameras.values()) {
    if (!camera.sound) continue;
    select(camera.slot);
    while (camera.soundCredit > 0 && v.vlx_WaitAudio(0) === 0) takeBlock(camera);
    sounding = sounding || camera.soundCredit > 0;
  }
  const streaming = [...cameras.values()].filter((c) => c.stream);
  if (streaming.length === 0) {
    // Sound alone: look again shortly, without holding the thread.
    if (sounding) setTimeout(pump, 10);
    return;
  }
  const rung = Atomics.load(bell, 0);
  const wanted = streaming.filter((c) => Atomics.load(c.credit, 0) > 0);
  if (wanted.length === 0) Atomics.wait(bell, 0, rung, WAIT_SLICE_MS);
  const slice = Math.max(1, Math.floor(WAIT_SLICE_MS / Math.max(1, wanted.length)));
  for (const camera of wanted) {
    select(camera.slot);
    const waited = v.vlx_WaitFrame(slice);
    if (waited === 0) take(camera);
    if (waited < 0 || Date.now() - camera.checked >= STATE_EVERY_MS) checkState(camera);
    // -2: the slot no longer runs (a lost device's state, read just now,
    // has ended the frames already when it is the reason).
    if (waited < 0 && camera.stream) end(camera, { functionName: 'vlx_WaitFrame', code: waited });
  }
  pump();
}

// A free buffer of the camera's pool, made or grown to `bytes` if needed:
// its index, or -1 when the main thread holds every one.
function poolBuffer(camera, bytes) {
  for (let index = 0; index < camera.free.length; index += 1) {
    if (Atomics.load(camera.free, index) !== 1) continue;
    if (!camera.pool[index] || camera.pool[index].shared.byteLength < bytes) {
      const shared = new SharedArrayBuffer(bytes);
      camera.pool[index] = { shared, view: Buffer.from(shared) };
      camera.allocated += 1;
    }
    return index;
  }
  return -1;
}

// vlx_GetFrame's out-parameters, filled anew by every call.
const size = new Int32Array(1);
const header = Buffer.alloc(44);
const info = new BigInt64Array(C.VLX_FRAME_INFO_COUNT);

function take(camera) {
  let bytes = camera.bytes || v.vlx_GetImageMemSize(0);
  for (let attempt = 0; attempt < 2; attempt += 1) {
    // A buffer of the pool, or, when the consumer holds them all, one of
    // its own (transferred, not shared); not zero-filled: the library writes
    // every byte.
    const index = poolBuffer(camera, Math.max(bytes, 1));
    if (index < 0) camera.allocated += 1;
    const pixels = index >= 0 ? camera.pool[index].view : Buffer.allocUnsafeSlow(Math.max(bytes, 1));
    size[0] = pixels.length;
    const taken = v.vlx_GetFrame(pixels, size, header, info);
    if (taken === -4) {  // a new frame size: *size has the bytes needed
      bytes = size[0];
      continue;
    }
    if (taken === -7) return;  // nothing new after all
    if (taken < 0) return end(camera, { functionName: 'vlx_GetFrame', code: taken });
    camera.bytes = size[0];
    Atomics.sub(camera.credit, 0, 1);
    let shared;
    if (index >= 0) {
      Atomics.store(camera.free, index, 0);
      // Sent with every frame (a shared buffer crosses without a copy): the
      // main thread keeps none of the pool, so the buffer comes back only
      // once no view of it is left there.
      shared = camera.pool[index].shared;
    }
    const height = header.readInt32LE(8);
    const number = (i) => Number(info[i]);
    const sampleTime = number(C.VLX_FRAME_SAMPLE_TIME), dropped = number(C.VLX_FRAME_DROPPED);
    const own = index < 0 ? pixels.buffer : undefined;
    parentPort.postMessage({
      event: 'frame', slot: camera.slot, stream: camera.stream, index, shared, buffer: own, length: size[0],
      width: header.readInt32LE(4), height: Math.abs(height), bottomUp: height > 0, bits: header.readUInt16LE(14),
      number: number(C.VLX_FRAME_NUMBER),
      sampleTime: sampleTime === -1 ? null : sampleTime / 1e4,
      arrival: number(C.VLX_FRAME_ARRIVAL) / 1e4,
      missed: number(C.VLX_FRAME_MISSED),
      dropped: dropped === -1 ? null : dropped,
    }, own ? [own] : undefined);
    return;
  }
}

function end(camera, error) {
  parentPort.postMessage({ event: 'end', slot: camera.slot, stream: camera.stream, error });
  camera.stream = 0;
}

// ---- Device states
function checkState(camera) {
  camera.checked = Date.now();
  select(camera.slot);
  const state = v.vlx_GetDeviceState();
  if (state < 0 || state === camera.state) return;
  const previous = camera.state;
  camera.state = state;
  const details = stateDetails(state);
  parentPort.postMessage({ event: 'state', slot: camera.slot, state: details.state,
    previous: nameOf(DEVICE_STATES, previous), hresult: details.hresult });
  if (camera.stream && FINAL_STATES.includes(state)) end(camera, details);
}

// A state as an error's details: its name, and for a failed or busy device
// the platform's code, which the library recorded.
function stateDetails(state) {
  const failed = state === C.VLX_DEVICE_ERROR || state === C.VLX_DEVICE_IN_USE;
  return { functionName: 'vlx_GetDeviceState', code: state, state: nameOf(DEVICE_STATES, state),
    hresult: failed ? v.vlx_GetLastError() : undefined };
}

function watchStates() {
  if (stateTimer) return;
  stateTimer = setInterval(() => {
    for (const camera of cameras.values()) {
      if (Date.now() - camera.checked >= STATE_EVERY_MS) checkState(camera);
      checkButton(camera);
    }
  }, STATE_EVERY_MS);
}

const OPERATIONS = {
  devices,
  formats: ({ device }) => formats(device),
  codecs: () => listLines('vlx_GetCodecListSize', 'vlx_GetCodecList', [0], -3),
  open, close, controls, setControl, snapshot, still, saveProfile, applyProfile, record,
  calls: () => ({ ...calls }),
  // For the package's tests: the frame buffers a camera's pool has made.
  buffers: ({ slot }) => ({ allocated: cameras.has(slot) ? cameras.get(slot).allocated : 0 }),
  version: () => v.vlx_Version(),
};
const MESSAGES = { stream, sound, soundAck };

parentPort.on('message', async (message) => {
  if (MESSAGES[message.op]) return MESSAGES[message.op](message);
  try {
    const value = await OPERATIONS[message.op](message);
    parentPort.postMessage({ id: message.id, value });
  } catch (error) {
    const wire = error.wire || { name: error.name, message: error.message };
    parentPort.postMessage({ id: message.id, error: wire });
  }
});
