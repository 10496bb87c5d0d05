/*
 * vidlox-share64.dll - the shared camera: four DirectShow video capture
 * sources, one per channel, that show what a vidlox64.dll slot publishes on
 * that channel (vlx_ShareSlot). Any number of programs open a channel at
 * once, each in its own graph.
 *
 * Registration (Windows: regsvr32 from an elevated prompt; Wine: the same
 * through `wine64 regsvr32`):
 *     regsvr32 vidlox-share64.dll       lists the four devices
 *     regsvr32 /u vidlox-share64.dll    removes them
 * Devices in CLSID_VideoInputDeviceCategory: VLXSHARE_NAME_1 .. _4, each its
 * own class (VLXSHARE_CLSID_1 .. _4) with its own DevicePath.
 *
 * The capture pin (PIN_CATEGORY_CAPTURE, also through IKsPropertySet) offers
 * three capabilities, all FORMAT_VideoInfo at the publisher's current frame
 * size and rate (640x480 at 30 fps while nobody publishes):
 *     0  RGB24, bottom-up, as the publishing slot's grabber delivers it
 *     1  YUY2   (top-down, BT.601 limited range, chroma the mean of 2 pixels)
 *     2  NV12   (top-down, BT.601 limited range, chroma the mean of 2x2)
 * SetFormat takes any of the three subtypes at any even size from 2x2 to
 * 4096x4096 and an AvgTimePerFrame from VLXSHARE_FASTEST_FRAME_INTERVAL to
 * VLXSHARE_SLOWEST_FRAME_INTERVAL; a publisher's frames of another size are
 * scaled (nearest pixel) into the size connected, and a publisher faster
 * than the connected rate has the frames in between left out (they are not
 * counted as dropped). While connected, the pin's QueryAccept takes its own
 * connection's type alone (it never changes format on the way).
 * Samples are stamped on the graph's clock; IAMDroppedFrames counts the
 * publisher's frames this reader skipped because it fell behind.
 *
 * No publisher, or its process gone: within one second the source delivers
 * the "no signal" picture (every pixel VLXSHARE_NO_SIGNAL_RGB) at its
 * connected format and rate, and goes back to the publisher's frames as soon
 * as one publishes on the channel again.
 */
#ifndef VIDLOX_SHARECAM_H
#define VIDLOX_SHARECAM_H

#define VLXSHARE_NAME_1 L"vidlox Shared Camera 1"
#define VLXSHARE_NAME_2 L"vidlox Shared Camera 2"
#define VLXSHARE_NAME_3 L"vidlox Shared Camera 3"
#define VLXSHARE_NAME_4 L"vidlox Shared Camera 4"

/* DevicePath of each channel's device. */
#define VLXSHARE_PATH_1 L"\\\\?\\root#vidlox_share#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"
#define VLXSHARE_PATH_2 L"\\\\?\\root#vidlox_share#0002#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"
#define VLXSHARE_PATH_3 L"\\\\?\\root#vidlox_share#0003#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"
#define VLXSHARE_PATH_4 L"\\\\?\\root#vidlox_share#0004#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"

/* {bc2a71be-2434-4603-96d3-f8a3d1e517b7} ... */
#define VLXSHARE_CLSID_1 {0xbc2a71be, 0x2434, 0x4603, {0x96, 0xd3, 0xf8, 0xa3, 0xd1, 0xe5, 0x17, 0xb7}}
#define VLXSHARE_CLSID_2 {0xe013c3e7, 0x4bce, 0x4cc7, {0x80, 0x73, 0x6e, 0x54, 0xbc, 0x02, 0x89, 0x22}}
#define VLXSHARE_CLSID_3 {0xeff2f6b7, 0x5fb2, 0x4188, {0x8e, 0x44, 0x82, 0x43, 0x18, 0x87, 0xf1, 0x0a}}
#define VLXSHARE_CLSID_4 {0xfe68fc6b, 0x6372, 0x4490, {0xb9, 0x0a, 0xef, 0x70, 0x96, 0xb7, 0x49, 0xc6}}

/* The "no signal" picture's colour, red, green, blue. */
#define VLXSHARE_NO_SIGNAL_R 32
#define VLXSHARE_NO_SIGNAL_G 32
#define VLXSHARE_NO_SIGNAL_B 96

/* The frame intervals SetFormat takes (100 ns): 240 to 1 frames per second. */
#define VLXSHARE_FASTEST_FRAME_INTERVAL 41667
#define VLXSHARE_SLOWEST_FRAME_INTERVAL 10000000

/* The size and rate offered while nobody publishes. */
#define VLXSHARE_IDLE_WIDTH 640
#define VLXSHARE_IDLE_HEIGHT 480
#define VLXSHARE_IDLE_FRAME_INTERVAL 333333

#endif
