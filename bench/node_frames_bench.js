// Frames through the npm package: the test camera at 1920x1080 and 30 fps
// through camera.frames() (or camera.frames({ recycle: true })), in the
// Windows build of Node. Figures: frames received per frame the camera sent
// (its painted numbers tell), the frames the library thread left to the
// camera (missed), the process CPU as a share of one core (every thread: the
// camera's, the library thread, the main thread), and the latency from a
// frame's arrival in the library to the main thread holding it.
// bench/node_frames_bench.py runs it beside the C host it is measured
// against, both counting from the same moment.
//
//     node node_frames_bench.js SECONDS START_UNIX_MS [recycle]
//                                             (VIDLOX_PACKAGE: the package)
'use strict';
const fs = require('fs');
const vidlox = require(process.env.VIDLOX_PACKAGE || 'vidlox');

function painted(frame) {  // the test camera's frame number (vidlox_testcam.h)
  const { data, width, height, stride, bottomUp } = frame;
  const cell = Math.floor(width / 64);
  const y = Math.floor((Math.floor((7 * height) / 16) + Math.floor((9 * height) / 16)) / 2);
  const row = bottomUp ? height - 1 - y : y;
  let number = 0;
  for (let i = 0; i < 32; i += 1) number = number * 2 + (data[row * stride + (Math.floor(width / 4) + i * cell + (cell >> 1)) * 3 + 1] >= 128 ? 1 : 0);
  return number;
}

function percentile(values, share) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.round(share * (sorted.length - 1))];
}

async function measure(seconds, recycle, start) {
  const camera = await vidlox.open('vidlox Test Camera', { width: 1920, height: 1080, fps: 30 });
  // The first frame from `start` on starts the measurement; the frames before
  // it are taken as any others, so that the buffers have settled.
  // The first frame's picture number and drop count: with recycle its data
  // is gone once the next frame is asked for.
  let first = null, last = null, received = 0, missed = 0, duplicates = 0, wall = 0, cpu = null, dropped = 0;
  const latency = [];
  for await (const frame of camera.frames({ recycle })) {
    const now = Number(process.hrtime.bigint()) / 1e6;  // the performance counter, as arrival is
    if (Date.now() < start) continue;
    const number = painted(frame);
    if (first === null) {
      first = { number, dropped: frame.dropped };
      last = number;
      wall = now;
      cpu = process.cpuUsage();
      continue;
    }
    if (number === last) duplicates += 1;
    else received += 1;
    missed += frame.missed;
    latency.push(now - frame.arrival);
    last = number;
    if (frame.dropped !== null && first.dropped !== null) dropped = frame.dropped - first.dropped;
    if (now - wall >= seconds * 1000) {
      wall = now - wall;
      cpu = process.cpuUsage(cpu);
      break;
    }
  }
  const { allocated } = await camera._thread.request('buffers', { slot: camera.slot });
  await camera.close();
  const sent = last - first.number;
  const share = (cpu.user + cpu.system) / 1000 / wall;
  // Frames the device itself dropped (IAMDroppedFrames) never reached the
  // library: the frames it sent are the others.
  const line = `node frames(${recycle ? '{ recycle: true }' : ''}): 1920x1080 at 30 fps for ${(wall / 1000).toFixed(1)} s: received ${received} of the ${sent} ` +
    `camera frames, the camera dropped ${dropped}: ${(received / (sent - dropped)).toFixed(3)} per frame sent; ` +
    `${duplicates} duplicates, ${missed} missed; ${allocated} frame buffers made; ` +
    `CPU ${(share * 100).toFixed(1)}% of a core; latency from arrival median ${percentile(latency, 0.5).toFixed(2)} ms, ` +
    `99th percentile ${percentile(latency, 0.99).toFixed(2)} ms\n`;
  fs.writeSync(1, line);
}

async function main() {
  const [seconds = '10', start = String(Date.now()), kind = ''] = process.argv.slice(2);
  await measure(Number(seconds), kind === 'recycle', Number(start));
}

main().catch((error) => {
  fs.writeSync(2, `${error.stack}\n`);
  process.exitCode = 1;
});
