'use strict';
// The main thread's side of the library thread (lib/worker.js): requests
// that answer promises, and the frames and state changes the worker sends on
// its own. The worker keeps the process alive only while a request is
// pending or frames are wanted, so a program ends once it stops asking.
const path = require('path');
const { Worker } = require('worker_threads');
const { fromWire } = require('./errors');

const DLL = path.join(__dirname, '..', 'win32-x64', 'vidlox64.dll');

class LibraryThread {
  constructor() {
    this.worker = null;
    this.nextId = 1;
    this.pending = new Map();  // id -> {resolve, reject}
    this.listeners = new Map();  // slot -> camera
    this.streams = 0;
    this.broken = null;  // why the library thread ended, if it did
    // Rung when a consumer asks for frames: wakes the library thread when
    // it waits with no frame wanted (lib/worker.js).
    this.doorbell = new Int32Array(new SharedArrayBuffer(4));
  }

  ring() {
    Atomics.add(this.doorbell, 0, 1);
    Atomics.notify(this.doorbell, 0);
  }

  start() {
    // The library was initialised on the thread that ended: no other thread
    // can take its calls.
    if (this.broken) throw this.broken;
    if (this.worker) return;
    if (process.platform !== 'win32' || process.arch !== 'x64') {
      throw new Error(`vidlox runs on 64-bit Windows (this is ${process.platform} ${process.arch})`);
    }
    this.worker = new Worker(path.join(__dirname, 'worker.js'), { workerData: { dll: DLL } });
    this.worker.on('message', (message) => this.received(message));
    this.worker.on('error', (error) => this.failed(error));
    this.worker.on('exit', (code) => this.failed(new Error(`the library thread ended (exit code ${code})`)));
    this.worker.unref();
  }

  request(op, fields = {}) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.start();
      this.pending.set(id, { resolve, reject });
      this.send({ id, op, ...fields });
      this.keepAlive();
    });
  }

  send(message, transfer) {
    if (!this.worker) return;  // ended: requests answer why
    this.worker.postMessage(message, transfer);
  }

  received(message) {
    if (message.id !== undefined) {
      const waiter = this.pending.get(message.id);
      this.pending.delete(message.id);
      this.keepAlive();
      if (message.error) waiter.reject(fromWire(message.error));
      else waiter.resolve(message.value);
      return;
    }
    const camera = this.listeners.get(message.slot);
    if (camera) camera._event(message);
  }

  failed(error) {
    const waiting = [...this.pending.values()];
    this.pending.clear();
    this.worker = null;
    this.broken = this.broken || error;
    for (const waiter of waiting) waiter.reject(error);
    for (const camera of this.listeners.values()) camera._event({ event: 'end', error: { name: 'Error', message: error.message } });
  }

  streamStarted() {
    this.streams += 1;
    this.keepAlive();
  }

  streamEnded() {
    this.streams -= 1;
    this.keepAlive();
  }

  keepAlive() {
    if (!this.worker) return;
    if (this.pending.size > 0 || this.streams > 0) this.worker.ref();
    else this.worker.unref();
  }
}

module.exports = { LibraryThread, DLL };
