'use strict';
// The package against the test camera under Wine, as a Node program uses it.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const { vidlox, dll, paintedNumber, pixel, firstFrames, TWIN, TWIN_PATHS } = require('./support');
const { FRAMES_IN_FLIGHT } = require(path.join(process.env.VIDLOX_PACKAGE, 'lib', 'camera.js'));

const MAIN = 'vidlox Test Camera';
const OUTPUT = process.env.VIDLOX_OUTPUT;

test('the lists are the DLL\'s own lists', async () => {
  const devices = await vidlox.listDevices();
  const codecs = await vidlox.listCodecs();
  const formats = await vidlox.listFormats(MAIN);
  const own = dll();
  const names = own.devices(0), paths = own.paths(0);
  assert.ok(names.lines.length > 10, 'the test camera registered its devices');
  assert.deepStrictEqual(devices, names.lines.map((name, index) => ({ index, name, path: paths.lines[index] })));
  assert.deepStrictEqual(codecs, own.codecs(0).lines);
  const lines = own.formats(devices.find((d) => d.name === MAIN).index).lines;
  assert.deepStrictEqual(formats.map((f) => [f.index, f.subtype, f.width, f.height, f.minFps.toFixed(2), f.maxFps.toFixed(2), f.kind].join(' ')), lines);
  assert.deepStrictEqual(formats.map((f) => `${f.width}x${f.height}`), ['640x480', '1280x720', '320x240', '800x600', '1920x1080', '3840x2160', '1280x720', '1920x1080']);
  // Twins are one name and two paths: NAME#N and the path name each of them.
  const twins = devices.filter((d) => d.name === TWIN);
  assert.deepStrictEqual(twins.map((d) => d.path), TWIN_PATHS);
  assert.deepStrictEqual(await vidlox.listFormats(`${TWIN}#1`), await vidlox.listFormats(twins[1].index));
  assert.deepStrictEqual(await vidlox.listFormats(TWIN_PATHS[1]), await vidlox.listFormats(twins[1].index));
});

test('60 frames, each once and in order, with the pixels the camera painted', async () => {
  const camera = await vidlox.open(MAIN, { width: 640, height: 480, fps: 30 });
  try {
    const frames = await firstFrames(camera, 60);
    for (const frame of frames) {
      assert.strictEqual(frame.data.length, frame.stride * frame.height);
      assert.deepStrictEqual([frame.width, frame.height, frame.stride, frame.bottomUp, frame.subtype], [640, 480, 1920, true, 'RGB24']);
    }
    assert.deepStrictEqual(pixel(frames[0], 10, 10), [255, 0, 0], 'red top left');
    assert.deepStrictEqual(pixel(frames[0], 10, 470), [0, 0, 255], 'blue bottom left');
    assert.strictEqual(frames[0].number, 1 + frames[0].missed, 'numbers begin with the first frame tracked');
    for (let i = 1; i < frames.length; i += 1) {
      // Every frame that reached the library is handed out once or counted
      // as missed (under load the library thread may leave one to the camera).
      assert.strictEqual(frames[i].number - frames[i - 1].number, 1 + frames[i].missed, `frame ${i}: given or missed`);
      // The camera's own numbers: in order, none twice; a frame the camera
      // painted and dropped (a loaded machine) never reached the library.
      const painted = paintedNumber(frames[i]) - paintedNumber(frames[i - 1]);
      assert.ok(painted >= 1 + frames[i].missed, `frame ${i}: painted ${painted} on, missed ${frames[i].missed}`);
      assert.ok(frames[i].arrival > frames[i - 1].arrival);
    }
    const neverArrived = paintedNumber(frames[59]) - paintedNumber(frames[0]) - (frames[59].number - frames[0].number);
    assert.ok(neverArrived <= frames[59].dropped, `${neverArrived} frames never arrived; the device dropped ${frames[59].dropped}`);
    assert.ok(frames.filter((f) => f.missed === 0).length > 30, 'most frames were handed out');
    // A second iteration goes on where the first stopped: no frame comes twice.
    const [next] = await firstFrames(camera, 1);
    assert.ok(paintedNumber(next) > paintedNumber(frames[59]));
  } finally {
    await camera.close();
  }
});

test('recycled frames: each valid until the next is asked for, then given back, never overwritten in hand', async () => {
  const camera = await vidlox.open(MAIN, { width: 640, height: 480 });
  try {
    const held = [];
    for await (const frame of camera.frames({ recycle: true })) {
      assert.strictEqual(frame.data.length, 640 * 480 * 3);
      if (held.length > 0) {
        assert.strictEqual(held[held.length - 1].frame.data.length, 0, 'the previous frame went back');
        assert.strictEqual(frame.number - held[held.length - 1].number, 1 + frame.missed);
        assert.ok(paintedNumber(frame) - held[held.length - 1].painted >= 1 + frame.missed);
      }
      held.push({ frame, painted: paintedNumber(frame), number: frame.number });
      if (held.length === 20) break;
    }
    assert.strictEqual(held[19].frame.data.length, 640 * 480 * 3, 'the last frame stays the consumer\'s');
  } finally {
    await camera.close();
  }
});

test('a consumer slower than the camera: what it never took is missed; released and collected frames come back', async () => {
  const camera = await vidlox.open(MAIN, { width: 640, height: 480, fps: 30 });
  const allocated = async () => (await camera._thread.request('buffers', { slot: camera.slot })).allocated;
  try {
    let previous = null, missed = 0, taken = 0;
    for await (const frame of camera.frames()) {
      if (previous) {
        assert.strictEqual(frame.number - previous.number, 1 + frame.missed, `frame ${frame.number}: given or missed`);
        assert.ok(paintedNumber(frame) - previous.painted >= 1 + frame.missed);
        missed += frame.missed;
      }
      previous = { number: frame.number, painted: paintedNumber(frame) };
      frame.release();
      assert.strictEqual(frame.data.length, 0, 'a released frame\'s data went back');
      if (++taken === 15) break;
      await new Promise((resolve) => setTimeout(resolve, 100));  // three camera frames for each taken
    }
    assert.ok(missed >= 10, `${missed} frames missed`);
    const made = await allocated();
    assert.ok(made <= FRAMES_IN_FLIGHT + 2, `${made} buffers for 15 frames released`);
    // Frames nobody releases come back once collected.
    for (let round = 0; round < 4; round += 1) {
      await firstFrames(camera, 5);
      global.gc();
      await new Promise((resolve) => setTimeout(resolve, 50));  // the registry's callbacks run
    }
    assert.ok(await allocated() <= made + FRAMES_IN_FLIGHT + 6, `${await allocated()} buffers after 20 more frames`);
    // A view cut from a frame's data keeps the buffer out of the pool after
    // the frame itself is collected.
    const view = (await firstFrames(camera, 1))[0].data.subarray(0);
    const bytes = Buffer.from(view);
    for (let round = 0; round < 3; round += 1) {
      await firstFrames(camera, 5);
      global.gc();
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
    assert.ok(view.equals(bytes), 'a view of a collected frame was filled again');
  } finally {
    await camera.close();
  }
});

test('a format is chosen exactly, or refused with the header\'s meaning', async () => {
  const camera = await vidlox.open(0, { width: 1280, height: 720, fps: 15, subtype: 'RGB24' });
  try {
    const { subtype, width, height, fps } = camera.format();
    assert.deepStrictEqual([subtype, width, height, fps.toFixed(3)], ['RGB24', 1280, 720, '15.000']);
    const [frame] = await firstFrames(camera, 1);
    assert.deepStrictEqual([frame.width, frame.height, frame.data.length], [1280, 720, 1280 * 3 * 720]);
  } finally {
    await camera.close();
  }
  await assert.rejects(vidlox.open(MAIN, { width: 1000, height: 700 }), (error) => {
    assert.ok(error instanceof vidlox.VidloxError);
    assert.deepStrictEqual([error.functionName, error.code], ['vlx_Open', -60]);
    assert.strictEqual(error.meaning, 'choice 1: no capability equals the request (nothing offered)');
    assert.strictEqual(error.message, `vlx_Open answered -60: ${error.meaning} (device 0 "${MAIN}")`);
    return true;
  });
  await assert.rejects(vidlox.open('vidlox Test Camera (refuses formats)', { width: 640, height: 480 }),
    { name: 'VidloxError', functionName: 'vlx_Open', code: 1, meaning: 'the device refused the requested format' });
  const nearest = await vidlox.open(MAIN, { width: 1000, height: 700, choice: 'nearest' });
  assert.deepStrictEqual([nearest.format().width, nearest.format().height], [1280, 720]);
  await nearest.close();
});

test('a control is set and read back; a refused value is the library\'s code', async () => {
  const camera = await vidlox.open(MAIN);
  try {
    assert.deepStrictEqual(await camera.setControl('brightness', 140), { value: 140, mode: 'manual', asked: true });
    assert.deepStrictEqual(await camera.setControl('white_balance', 'auto'), { value: 4600, mode: 'auto', asked: true });
    const listed = Object.fromEntries((await camera.controls()).map((c) => [c.name, c]));
    assert.deepStrictEqual(listed.brightness, { id: 0, name: 'brightness', min: 0, max: 255, step: 1, default: 128,
      auto: false, manual: true, value: 140, mode: 'manual' });
    assert.strictEqual(listed.white_balance.mode, 'auto');
    assert.strictEqual(listed.hue, undefined, 'the camera has no hue');
    await assert.rejects(camera.setControl('brightness', 300), { name: 'VidloxError', code: -7, functionName: 'vlx_SetControl' });
    await assert.rejects(camera.setControl('hue', 1), { name: 'VidloxError', code: -6, meaning: 'the device lacks that property' });
  } finally {
    await camera.close();
  }
});

test('a profile is saved, edited, applied line by line, and kept to its own twin', async () => {
  const [first, second] = await Promise.all(TWIN_PATHS.map((twin) => vidlox.open(twin)));
  const file = path.join(OUTPUT, 'twin.profile');
  try {
    await first.setControl('brightness', 33);
    assert.deepStrictEqual(await first.saveProfile(file), { file, settings: 14 });
    fs.appendFileSync(file, 'gain = 7 manual range 0 9 1\r\nshininess = 1\r\n');
    await first.setControl('brightness', 90);
    const { applied, report } = await first.applyProfile(file);
    assert.strictEqual(applied, 14, 'the format in force and 13 controls; the later gain line is a repeat');
    assert.deepStrictEqual(report.slice(-2), [{ line: 23, outcome: 'repeated', name: 'gain' },
      { line: 24, outcome: 'unknown_name', name: null }]);
    assert.strictEqual((await first.controls()).find((c) => c.name === 'brightness').value, 33);
    await assert.rejects(second.applyProfile(file), { name: 'VidloxError', code: -7, functionName: 'vlx_ApplyProfile' });
    assert.strictEqual((await second.applyProfile(file, { anyDevice: true })).applied, 14);
    await assert.rejects(first.saveProfile(7), { code: 'ERR_INVALID_ARG_TYPE' });
  } finally {
    await Promise.all([first.close(), second.close()]);
  }
});

test('snapshots are written for the host to decode', async () => {
  const camera = await vidlox.open(MAIN, { width: 640, height: 480 });
  try {
    const png = await camera.snapshot(path.join(OUTPUT, 'snapshot.png'));
    const jpeg = await camera.snapshot(path.join(OUTPUT, 'snapshot.jpg'), { quality: 80 });
    assert.strictEqual(png, path.join(OUTPUT, 'snapshot.png'));
    assert.deepStrictEqual([...fs.readFileSync(png).subarray(0, 4)], [0x89, 0x50, 0x4e, 0x47]);
    assert.deepStrictEqual([...fs.readFileSync(jpeg).subarray(0, 2)], [0xff, 0xd8]);
  } finally {
    await camera.close();
  }
});

test('an unplugged camera ends frames() with a VidloxError naming the state', { timeout: 60000 }, async () => {
  const camera = await vidlox.open(TWIN_PATHS[0]);
  const lost = new Promise((resolve) => camera.once('lost', resolve));
  const own = dll();
  let unplugged = false;
  try {
    assert.strictEqual(camera.path, TWIN_PATHS[0]);
    let frames = 0;
    await assert.rejects(async () => {
      for await (const frame of camera.frames()) {
        assert.ok(frame.data.length > 0);
        frames += 1;
        if (frames === 5) {
          assert.strictEqual(own.unplug(TWIN_PATHS[0]), 0);
          unplugged = true;
        }
      }
    }, (error) => {
      assert.ok(error instanceof vidlox.VidloxError, String(error));
      assert.deepStrictEqual([error.functionName, error.code, error.state], ['vlx_GetDeviceState', 3, 'lost']);
      assert.match(error.message, /lost: the graph reported the device gone/);
      return true;
    });
    const change = await lost;
    assert.strictEqual(change.state, 'lost');
    assert.ok(['delivering', 'waiting'].includes(change.previous), change.previous);
    assert.strictEqual(camera.state(), 'lost');
    await assert.rejects(vidlox.open(TWIN_PATHS[0]), { name: 'VidloxError', functionName: 'vlx_FindDevice', code: -4 });
  } finally {
    if (unplugged) own.replug(TWIN_PATHS[0]);
    await camera.close();
  }
});

test('a camera another program holds is refused with the state and the platform\'s code', async () => {
  const before = await vidlox.libraryCalls();
  await assert.rejects(vidlox.open('vidlox Test Camera (in use)'), { name: 'VidloxError', functionName: 'vlx_GetDeviceState',
    code: 5, state: 'in_use', hresult: 0x800705aa | 0, meaning: 'in_use: another program holds the device' });
  const after = await vidlox.libraryCalls();
  assert.strictEqual(after.vlx_Close - (before.vlx_Close || 0), 1, 'the slot was closed again');
  const again = await vidlox.open(MAIN);
  assert.strictEqual(again.slot, 0, 'and is free');
  await again.close();
});

test('a stall and its end are events; frames go on after it', { timeout: 60000 }, async () => {
  const camera = await vidlox.open(TWIN_PATHS[1]);
  const own = dll();
  const changes = [];
  for (const event of ['stalled', 'back', 'lost', 'failed']) camera.on(event, (change) => changes.push([event, change.state]));
  const back = new Promise((resolve) => camera.once('back', resolve));
  try {
    let stalled = false, after = 0;
    for await (const frame of camera.frames()) {
      assert.ok(frame.data.length > 0);
      if (!stalled) {
        assert.strictEqual(own.stall(TWIN_PATHS[1], 2500), 0);
        stalled = true;
        await back;
      } else if (++after === 5) {
        break;
      }
    }
    assert.deepStrictEqual(changes, [['stalled', 'stalled'], ['back', 'delivering']]);
    assert.strictEqual(camera.state(), 'delivering');
  } finally {
    await camera.close();
  }
});

test('bad arguments are refused before anything reaches the library', async () => {
  await vidlox.listDevices();
  const before = await vidlox.libraryCalls();
  const refusals = [
    () => vidlox.open(-1), () => vidlox.open(1.5), () => vidlox.open(null), () => vidlox.open({}), () => vidlox.open(''),
    () => vidlox.open(0, { width: -640 }), () => vidlox.open(0, { height: '480' }), () => vidlox.open(0, { width: NaN }),
    () => vidlox.open(0, { fps: -30 }), () => vidlox.open(0, { fps: '30' }), () => vidlox.open(0, { subtype: 24 }),
    () => vidlox.open(0, { choice: 'best' }), () => vidlox.open(0, 'wide'), () => vidlox.listFormats(undefined),
    () => vidlox.listFormats(-2),
  ];
  for (const refused of refusals) await assert.rejects(refused(), TypeError, refused.toString());
  assert.deepStrictEqual(await vidlox.libraryCalls(), before, 'not one call into the DLL');

  // An unknown device is looked up, and refused before any graph is built.
  await assert.rejects(vidlox.open('no such camera'), { name: 'VidloxError', functionName: 'vlx_FindDevice', code: -4 });
  await assert.rejects(vidlox.open(9999), { name: 'VidloxError', functionName: 'vlx_Open', code: -4, meaning: 'device_index out of range' });
  const after = await vidlox.libraryCalls();
  assert.strictEqual(after.vlx_Open, before.vlx_Open, 'vlx_Open never called');
  assert.strictEqual(after.vlx_SetDevWidth, before.vlx_SetDevWidth);

  const camera = await vidlox.open(MAIN);
  const opened = await vidlox.libraryCalls();
  try {
    for (const refused of [() => camera.setControl('shininess', 1), () => camera.setControl('brightness', 'high'),
      () => camera.setControl('brightness', 1.5), () => camera.snapshot('frame.txt'), () => camera.snapshot(7),
      () => camera.snapshot('frame.jpg', { quality: 101 }), () => camera.snapshot('frame.jpg', { quality: '80' })]) {
      await assert.rejects(refused(), TypeError, refused.toString());
    }
    const later = await vidlox.libraryCalls();
    for (const name of ['vlx_SetControl', 'vlx_SaveImage']) assert.strictEqual(later[name], opened[name], name);
  } finally {
    await camera.close();
  }
});

test('close() twice is one close; a closed camera refuses', async () => {
  const camera = await vidlox.open(MAIN);
  const before = (await vidlox.libraryCalls()).vlx_Close || 0;
  const first = camera.close();
  const second = camera.close();
  await Promise.all([first, second]);
  await camera.close();
  assert.strictEqual((await vidlox.libraryCalls()).vlx_Close, before + 1);
  assert.strictEqual(camera.state(), 'closed');
  assert.throws(() => camera.frames(), { code: 'ERR_VIDLOX_CLOSED' });
  await assert.rejects(camera.controls(), { code: 'ERR_VIDLOX_CLOSED' });
  // The slot is free again; closing the old camera once more leaves the
  // camera that took the slot alone.
  const again = await vidlox.open(MAIN);
  assert.strictEqual(again.slot, camera.slot);
  await camera.close();
  assert.strictEqual((await vidlox.libraryCalls()).vlx_Close, before + 1);
  assert.strictEqual((await firstFrames(again, 2)).length, 2);
  assert.notStrictEqual(again.state(), 'closed');
  await again.close();
});

test('the microphone\'s blocks come once each, in order, with times and levels; record() writes both streams', { timeout: 60000 }, async () => {
  const camera = await vidlox.open(MAIN, { audio: 'vidlox Test Microphone', audioFormat: { rate: 44100, channels: 1, bits: 16 } });
  const blocks = [];
  try {
    assert.deepStrictEqual(camera.audioFormat, { rate: 44100, channels: 1, bits: 16 });
    for await (const block of camera.audio()) {
      blocks.push(block);
      if (blocks.length === 30) break;
    }
  } finally {
    await camera.close();
  }
  assert.deepStrictEqual(blocks.map((b) => b.number), blocks.map((_, i) => i + 1));
  for (const [i, block] of blocks.entries()) {
    assert.strictEqual(block.data.length, 1764 * 2, '40 ms of 44.1 kHz mono 16-bit');
    assert.strictEqual(block.sampleTime, Math.floor((i * 1764 * 1e7) / 44100) / 1e4);
    // The click at each second: 10 ms of 0.9 full scale.
    const click = blocks[i].sampleTime % 1000 < 40;
    assert.deepStrictEqual(block.levels.map((l) => l.peak), [click ? 0.9 : 0], `block ${block.number}`);
  }
  await assert.rejects(vidlox.open(MAIN, { audio: 'no such microphone' }), { code: -120, functionName: 'vlx_Open' });

  const file = path.join(OUTPUT, 'record.avi');
  const recorded = await vidlox.record(MAIN, file, { audio: 'vidlox Test Microphone', seconds: 2 });
  assert.deepStrictEqual([recorded.file, recorded.audio], [file, { rate: 48000, channels: 2, bits: 16 }]);
  assert.ok(fs.statSync(file).size > 640 * 480 * 3 * 30, 'a second of frames and more');
});

test('a still of the pin on request, one of its button as an event, and another size', async () => {
  const camera = await vidlox.open(MAIN, { still: { width: 1920, height: 1080 } });
  try {
    // The test camera's still marks (vidlox_testcam.h): magenta on top,
    // the bottom band cyan for the trigger, yellow for the button.
    const marks = (still) => [pixel(still, still.width >> 1, still.height >> 4), pixel(still, still.width >> 1, still.height - 1 - (still.height >> 4))];
    const MAGENTA = [255, 0, 255], CYAN = [0, 255, 255], YELLOW = [255, 255, 0];
    const asked = await camera.still();
    assert.deepStrictEqual([asked.width, asked.height, asked.data.length, asked.source, asked.number, paintedNumber(asked)],
      [1920, 1080, 1920 * 1080 * 3, 'trigger', 1, 1]);
    assert.deepStrictEqual(marks(asked), [MAGENTA, CYAN]);
    const pressed = new Promise((resolve) => camera.once('button', resolve));
    assert.strictEqual(dll().pressButton(camera.path), 0);
    const button = await pressed;
    assert.deepStrictEqual([button.source, button.number, button.width], ['button', 2, 1920]);
    assert.deepStrictEqual(marks(button), [MAGENTA, YELLOW]);
    const smaller = await camera.still({ size: { width: 640, height: 480 } });
    assert.deepStrictEqual([smaller.width, smaller.height, smaller.number], [640, 480, 3]);
    await assert.rejects(camera.still({ size: { width: 641, height: 480 } }), { functionName: 'vlx_SetStillSize', code: -5 });
  } finally {
    await camera.close();
  }
  const plain = await vidlox.open(TWIN);
  try {
    const frame = await plain.still();
    assert.deepStrictEqual([frame.width, frame.height, frame.source], [640, 480, 'capture']);
    assert.deepStrictEqual(pixel(frame, 10, 10), [255, 0, 0], 'a capture frame');
  } finally {
    await plain.close();
  }
});

// Last: it ends the library thread of this process.
test('once the library thread has ended, frames() and every request reject', async () => {
  const camera = await vidlox.open(MAIN);
  const ended = new Promise((resolve) => camera._thread.worker.once('exit', resolve));
  await camera._thread.worker.terminate();
  await ended;
  await assert.rejects(camera.frames().next(), /the library thread ended/);
  await assert.rejects(vidlox.listDevices(), /the library thread ended/);
});
