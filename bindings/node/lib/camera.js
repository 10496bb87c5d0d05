'use strict';
// A camera opened into one of the library's slots. Frames come as an async
// iterator; changes of the device's health as events.
const path = require('path');
const { EventEmitter } = require('events');
const { fromWire, argumentError, wholeNumber, describe, CONTROLS } = require('./errors');

// Frames handed over but not yet taken from the iterator: the library
// thread takes no new frame beyond these, and the frames a slow consumer
// leaves to the camera show in the next frame's `missed`.
const FRAMES_IN_FLIGHT = 4;

// The buffers of a camera's pool, shared with the library thread
// (lib/worker.js): as many frames as POOL_BYTES hold, within these bounds.
// A consumer that holds them all (frames neither released nor collected
// yet) gets frames in buffers of their own meanwhile.
const POOL_BYTES = 128 * 1024 * 1024;
const POOL_BUFFERS = { fewest: FRAMES_IN_FLIGHT + 4, most: 32 };
const EMPTY = Buffer.alloc(0);
const COLLECTOR_NUDGE_BYTES = 64 * 1024 * 1024;

// A frame's bytes live in a buffer of its camera's pool, which the library
// thread filled without a copy of ours. The buffer goes back when the frame
// is released (frame.release(), or the next frame asked for with `recycle`)
// or when its data is collected: the registry holds what tells the buffer,
// and hands it back for a collected frame.
const returned = new FinalizationRegistry(giveBack);

function giveBack({ free, index }) {
  Atomics.store(free, index, 1);
}

// frame -> its pool buffer; not a property of the frame, so that the frame
// has only its documented fields.
const frameOwners = new WeakMap();

class Frame {
  constructor(fields) {
    Object.assign(this, fields);
  }

  // Gives the frame's buffer back to be filled again; `data` then reads as
  // empty (a Buffer of it kept elsewhere shows a later frame). A second call
  // does nothing.
  release() {
    const owner = frameOwners.get(this);
    this.data = EMPTY;
    if (!owner) return;
    frameOwners.delete(this);
    returned.unregister(owner);
    giveBack(owner);
  }
}

// vlx_SaveImage's formats, by the file's extension.
const SNAPSHOT_FORMATS = { '.bmp': 0, '.jpg': 1, '.jpeg': 1, '.png': 2, '.gif': 3, '.tif': 4, '.tiff': 4,
  '.jxr': 5, '.wdp': 5, '.heic': 6, '.heif': 6 };

class Camera extends EventEmitter {
  constructor(thread, opened) {
    super();
    this._thread = thread;
    this.slot = opened.slot;
    this.index = opened.index;
    this.name = opened.name;
    this.path = opened.path;
    this._opening = opened.opening;
    this._format = opened.format;
    this.audioFormat = opened.audio || null;  // {rate, channels, bits} with a microphone
    this._sound = null;
    this._state = opened.state;
    this._stream = null;
    this._closing = null;
    thread.listeners.set(this.slot, this);
    // A program that listens for the button waits for it, as one that
    // iterates frames waits for them: the library thread keeps it alive.
    this.on('newListener', (event) => {
      if (event === 'button' && this.listenerCount('button') === 0) this._thread.streamStarted();
    });
    this.on('removeListener', (event) => {
      if (event === 'button' && this.listenerCount('button') === 0) this._thread.streamEnded();
    });
  }

  format() {
    return { ...this._format };
  }

  state() {
    return this._state;
  }

  // `recycle`: each frame is released when the next frame is asked for.
  frames(options = {}) {
    const recycle = options.recycle === true;
    this._usable();
    if (this._stream) throw new Error('frames() of this camera is already being iterated; break out of it first');
    if (!this._pool) {
      const { width, height } = this._format;
      const frame = Math.max(1, Math.floor((width * 24 + 31) / 32) * 4 * height);
      const count = Math.min(POOL_BUFFERS.most, Math.max(POOL_BUFFERS.fewest, Math.floor(POOL_BYTES / frame)));
      this._pool = { free: new Int32Array(new SharedArrayBuffer(4 * count)).fill(1), nudged: false };
    }
    const credit = new Int32Array(new SharedArrayBuffer(4));
    credit[0] = FRAMES_IN_FLIGHT;
    const stream = { id: this._thread.nextId++, queue: [], waiter: null, error: null, done: false };
    this._stream = stream;
    this._thread.streamStarted();
    this._thread.send({ op: 'stream', slot: this.slot, stream: stream.id, credit: credit.buffer,
      free: this._pool.free.buffer, doorbell: this._thread.doorbell.buffer });
    // A library thread that has ended takes no message: the first next()
    // answers why.
    if (!this._thread.worker) this._endStream(stream, this._thread.broken || new Error('the library thread is not running'));
    const camera = this;
    let previous = null;
    const taken = (frame) => {
      if (recycle && previous) previous.release();
      previous = frame;
      Atomics.add(credit, 0, 1);
      camera._thread.ring();
      return { value: frame, done: false };
    };
    return {
      [Symbol.asyncIterator]() {
        return this;
      },
      next() {
        if (stream.queue.length > 0) return Promise.resolve(taken(stream.queue.shift()));
        if (stream.error) {
          const error = stream.error;
          stream.error = null;
          return Promise.reject(error);
        }
        if (stream.done) return Promise.resolve({ value: undefined, done: true });
        return new Promise((resolve, reject) => {
          stream.waiter = { resolve: (frame) => resolve(taken(frame)), reject, finish: () => resolve({ value: undefined, done: true }) };
        });
      },
      return() {
        camera._endStream(stream, null);
        return Promise.resolve({ value: undefined, done: true });
      },
    };
  }

  // The microphone's blocks (open's `audio` option), each once, oldest first:
  // {data (PCM), rate, channels, bits, number, sampleTime and arrival (ms),
  // missed, levels [{peak, rms}] per channel, 0 ... 1 of full scale}.
  audio() {
    this._usable();
    if (this._sound) throw new Error('audio() of this camera is already being iterated; break out of it first');
    const sound = { id: this._thread.nextId++, queue: [], waiter: null, error: null, done: false };
    this._sound = sound;
    this._thread.streamStarted();
    this._thread.send({ op: 'sound', slot: this.slot, stream: sound.id, credit: FRAMES_IN_FLIGHT });
    const camera = this;
    const taken = (block) => {
      camera._thread.send({ op: 'soundAck', slot: camera.slot, stream: sound.id });
      return { value: block, done: false };
    };
    return {
      [Symbol.asyncIterator]() {
        return this;
      },
      next() {
        if (sound.queue.length > 0) return Promise.resolve(taken(sound.queue.shift()));
        if (sound.error) return Promise.reject(sound.error);
        if (sound.done) return Promise.resolve({ value: undefined, done: true });
        return new Promise((resolve, reject) => {
          sound.waiter = { resolve: (block) => resolve(taken(block)), reject, finish: () => resolve({ value: undefined, done: true }) };
        });
      },
      return() {
        camera._endSound(sound, null);
        return Promise.resolve({ value: undefined, done: true });
      },
    };
  }

  _endSound(sound, error) {
    if (sound.done) return;
    sound.done = true;
    if (this._sound === sound) this._sound = null;
    this._thread.streamEnded();
    this._thread.send({ op: 'sound', slot: this.slot, stream: 0, credit: 0 });
    const waiter = sound.waiter;
    sound.waiter = null;
    if (waiter && error) waiter.reject(error);
    else if (waiter) waiter.finish();
    else sound.error = error;
  }

  _soundEvent(message) {
    const sound = this._sound;
    if (!sound || sound.id !== message.stream) return;
    if (message.event === 'audioEnd') return this._endSound(sound, fromWire(message.error));
    const block = {
      data: Buffer.from(message.buffer, 0, message.length), rate: message.rate, channels: message.channels,
      bits: message.bits, number: message.number, sampleTime: message.sampleTime, arrival: message.arrival,
      missed: message.missed, levels: message.levels,
    };
    if (sound.waiter) {
      const waiter = sound.waiter;
      sound.waiter = null;
      waiter.resolve(block);
    } else {
      sound.queue.push(block);
    }
  }

  // Ends `stream` (with `error`, or quietly) and tells the library thread
  // to take no more frames for it.
  _endStream(stream, error) {
    if (stream.done) return;
    stream.done = true;
    // Frames handed over that the consumer, who stopped, will never take.
    if (!error) for (const frame of stream.queue.splice(0)) frame.release();
    if (this._stream === stream) this._stream = null;
    this._thread.streamEnded();
    this._thread.send({ op: 'stream', slot: this.slot, stream: 0, doorbell: this._thread.doorbell.buffer });
    const waiter = stream.waiter;
    stream.waiter = null;
    if (waiter && error) waiter.reject(error);
    else if (waiter) waiter.finish();
    else stream.error = error;
  }

  _event(message) {
    if (message.event === 'audio' || message.event === 'audioEnd') return this._soundEvent(message);
    const stream = this._stream;
    if (message.event === 'frame') {
      const pool = this._pool;
      const pooled = message.index >= 0;
      // A frame of a stream that ended: its buffer goes back at once.
      if (!stream || stream.id !== message.stream) {
        if (pooled) giveBack({ free: pool.free, index: message.index });
        return;
      }
      const bits = message.bits;
      // Every buffer of the pool is held, most likely by frames already
      // garbage: the collector that would hand them back runs on memory it
      // is told of, which shared buffers are not. Telling it of some, held
      // for no time, brings it now rather than much later.
      if (!pooled && !pool.nudged) void new ArrayBuffer(COLLECTOR_NUDGE_BYTES);
      pool.nudged = !pooled;
      const data = Buffer.from(pooled ? message.shared : message.buffer, 0, message.length);
      const frame = new Frame({
        data, width: message.width, height: message.height,
        stride: Math.floor((message.width * bits + 31) / 32) * 4, bottomUp: message.bottomUp,
        subtype: bits === 24 ? 'RGB24' : `RGB${bits}`, number: message.number, sampleTime: message.sampleTime,
        arrival: message.arrival, missed: message.missed, dropped: message.dropped,
      });
      if (pooled) {
        const owner = { free: pool.free, index: message.index };
        frameOwners.set(frame, owner);
        // Registered by the shared buffer, not by `data`: a view the consumer
        // cut from it (subarray, another Buffer over it) keeps it from being
        // filled again.
        returned.register(message.shared, owner, owner);
      }
      if (stream.waiter) {
        const waiter = stream.waiter;
        stream.waiter = null;
        waiter.resolve(frame);
      } else {
        stream.queue.push(frame);
      }
    } else if (message.event === 'end') {
      if (stream && (message.stream === undefined || stream.id === message.stream)) {
        this._endStream(stream, fromWire(message.error));
      }
    } else if (message.event === 'still') {
      // A still nobody asked for: the camera's button.
      this.emit('button', stillOf(message));
    } else if (message.event === 'state') {
      this._state = message.state;
      const event = { state: message.state, previous: message.previous };
      if (message.hresult !== undefined) event.hresult = message.hresult;
      this.emit('state', event);
      if (message.state === 'lost') this.emit('lost', event);
      else if (message.state === 'stalled') this.emit('stalled', event);
      else if (message.state === 'delivering' && message.previous === 'stalled') this.emit('back', event);
      else if (message.state === 'error' || message.state === 'in_use') this.emit('failed', event);
    }
  }

  async snapshot(file, options = {}) {
    if (typeof file !== 'string' || file === '') {
      throw argumentError('ERR_INVALID_ARG_TYPE', `the snapshot's file must be a file name, not ${describe(file)}`);
    }
    const format = SNAPSHOT_FORMATS[path.extname(file).toLowerCase()];
    if (format === undefined) {
      throw argumentError('ERR_INVALID_ARG_VALUE',
        `the snapshot's file must end in one of ${Object.keys(SNAPSHOT_FORMATS).join(' ')}: ${file}`);
    }
    const quality = wholeNumber(options.quality, 'quality', 0, -1);
    if (quality > 100) throw argumentError('ERR_INVALID_ARG_VALUE', `quality must be from 0 to 100, not ${quality}`);
    this._usable();
    const full = path.resolve(file);
    await this._thread.request('snapshot', { slot: this.slot, file: full, format, quality });
    return full;
  }

  // A still: from the still pin at `size` ({width, height}; absent: the size
  // the camera has, else its largest), or a capture frame of a device
  // without a still pin.
  async still(options = {}) {
    if (typeof options !== 'object' || options === null) {
      throw argumentError('ERR_INVALID_ARG_TYPE', `still's options must be an object, not ${describe(options)}`);
    }
    const size = options.size === undefined ? null : checkSize(options.size, 'the still\'s size');
    this._usable();
    return stillOf(await this._thread.request('still', { slot: this.slot, size }));
  }

  async controls() {
    this._usable();
    return this._thread.request('controls', { slot: this.slot });
  }

  async setControl(name, value) {
    if (typeof name !== 'string' || !(name in CONTROLS)) {
      throw argumentError('ERR_INVALID_ARG_VALUE', `no camera control is named ${describe(name)}; the names: ${Object.keys(CONTROLS).join(' ')}`);
    }
    if (value !== 'auto') wholeNumber(value, `the value of ${name}`, -0x80000000);
    this._usable();
    return this._thread.request('setControl', { slot: this.slot, name, value });
  }

  // A profile (include/vidlox.h, "Extensions: profiles"): the camera's
  // controls and format in a text file for this device, and back.
  async saveProfile(file) {
    const full = profileFile(file);
    this._usable();
    const settings = await this._thread.request('saveProfile', { slot: this.slot, file: full });
    return { file: full, settings };
  }

  async applyProfile(file, options = {}) {
    const full = profileFile(file);
    this._usable();
    return this._thread.request('applyProfile', { slot: this.slot, file: full, anyDevice: options.anyDevice === true });
  }

  close() {
    if (!this._closing) {
      if (this._stream) this._endStream(this._stream, null);
      if (this._sound) this._endSound(this._sound, null);
      this.removeAllListeners('button');
      this._closing = this._thread.request('close', { slot: this.slot, opening: this._opening }).finally(() => {
        if (this._thread.listeners.get(this.slot) === this) this._thread.listeners.delete(this.slot);
        this._state = 'closed';
      });
    }
    return this._closing;
  }

  _usable() {
    if (this._closing) {
      const error = new Error(`the camera "${this.name}" is closed`);
      error.code = 'ERR_VIDLOX_CLOSED';
      throw error;
    }
  }
}

function profileFile(file) {
  if (typeof file !== 'string' || file === '') {
    throw argumentError('ERR_INVALID_ARG_TYPE', `a profile must be a file name, not ${describe(file)}`);
  }
  return path.resolve(file);
}


// {width, height} of whole numbers above 0.
function checkSize(size, what) {
  if (typeof size !== 'object' || size === null) {
    throw argumentError('ERR_INVALID_ARG_TYPE', `${what} must be {width, height}, not ${describe(size)}`);
  }
  const width = wholeNumber(size.width, `${what}'s width`, 1, undefined);
  const height = wholeNumber(size.height, `${what}'s height`, 1, undefined);
  if (width === undefined || height === undefined) throw argumentError('ERR_INVALID_ARG_VALUE', `${what} needs a width and a height`);
  return { width, height };
}

function stillOf(message) {
  return {
    data: Buffer.from(message.buffer, 0, message.length), width: message.width, height: message.height,
    stride: Math.floor((message.width * 24 + 31) / 32) * 4, bottomUp: message.bottomUp, subtype: 'RGB24',
    number: message.number, sampleTime: message.sampleTime, arrival: message.arrival, source: message.source,
  };
}

module.exports = { Camera, Frame, SNAPSHOT_FORMATS, FRAMES_IN_FLIGHT, checkSize };
