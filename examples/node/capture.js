// Lists the video devices, takes 100 frames from one and prints the rate,
// and saves a snapshot.
//
//     node capture.js [DEVICE] [SNAPSHOT_FILE]
//
// DEVICE: an index, a name, NAME#N or a device path (default 0);
// SNAPSHOT_FILE: .jpg, .png, .bmp, .gif or .tif (default snapshot.jpg).
'use strict';
const vidlox = require('vidlox');

async function main() {
  const [device = '0', file = 'snapshot.jpg'] = process.argv.slice(2);
  const devices = await vidlox.listDevices();
  console.log(`${devices.length} video devices:`);
  for (const { index, name } of devices) console.log(`  ${index}  ${name}`);

  const camera = await vidlox.open(/^\d+$/.test(device) ? Number(device) : device);
  camera.on('lost', () => console.log('the camera was unplugged'));
  try {
    const { subtype, width, height, fps } = camera.format();
    console.log(`opened "${camera.name}": ${subtype} ${width}x${height} at ${fps.toFixed(2)} fps`);

    let count = 0, missed = 0, first = 0, last = 0;
    for await (const frame of camera.frames()) {
      if (count === 0) first = frame.arrival;
      last = frame.arrival;
      missed += count === 0 ? 0 : frame.missed;
      if (++count === 100) break;
    }
    const seconds = (last - first) / 1000;
    console.log(`100 frames in ${seconds.toFixed(2)} s: ${(99 / seconds).toFixed(2)} frames per second, ${missed} missed`);

    console.log(`snapshot: ${await camera.snapshot(file, { quality: 90 })}`);
  } finally {
    await camera.close();
  }
}

main().catch((error) => {
  console.error(error.message);
  process.exitCode = 1;
});
