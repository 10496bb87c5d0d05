/*
 * vidlox-testcodec64.dll - a Video for Windows decompressor for the test
 * platform, never shipped: it turns the formats real webcams deliver into
 * the bottom-up RGB24 that the Sample Grabber takes.
 *
 * Why: Wine's AVI Decompressor (the filter intelligent connect puts between
 * a camera and an RGB24-only Sample Grabber) looks for a VfW codec with
 * ICLocate, and Wine ships none for YUY2, NV12 or MJPG. With this codec
 * registered, Wine builds the same graph Windows builds with its own codecs:
 * camera -> "AVI Decompressor" -> "Sample Grabber".
 *
 * Registration (Windows: an elevated prompt; Wine: `wine64 regsvr32`):
 *     regsvr32 vidlox-testcodec64.dll      writes the values vidc.YUY2,
 *                                          vidc.NV12 and vidc.MJPG under
 *                                          HKLM\Software\Microsoft\Windows NT\
 *                                          CurrentVersion\Drivers32, each
 *                                          naming this DLL by its full path;
 *                                          refused (nothing written) when one
 *                                          of them already names another DLL,
 *                                          or when the path holds a space or
 *                                          is 128 characters or longer (the
 *                                          driver loader would cut it there)
 *     regsvr32 /u vidlox-testcodec64.dll   removes those of the three values
 *                                          that name this DLL
 * Every vidc.* driver is also listed as a video compressor by the system
 * device enumerator: the three appear under VLXCODEC_DESCRIPTION_* names
 * (they decompress only; opened for compression they refuse).
 *
 * Decompression, to RGB24 (biBitCount 24, BI_RGB) with a positive biHeight
 * (bottom-up) of the input's width and height:
 *     YUY2  packed 4:2:2, top-down rows of width*2 bytes
 *     NV12  a luma plane then interleaved Cb Cr at half height; even sizes
 *     MJPG  one baseline JPEG per frame; a frame without Huffman tables
 *           (as many cameras send them) is decoded with the standard tables
 *           (ITU T.81 Annex K.3)
 * YUY2 and NV12 are BT.601, limited range (Y 16..235, Cb Cr 16..240).
 * Wine 8 passes the input format where ICDecompressBegin expects the output
 * format, so the output format is judged on every ICM_DECOMPRESS.
 */
#ifndef VIDLOX_TESTCODEC_H
#define VIDLOX_TESTCODEC_H

#define VLXCODEC_DESCRIPTION_YUY2 L"vidlox Test Decompressor (YUY2)"
#define VLXCODEC_DESCRIPTION_NV12 L"vidlox Test Decompressor (NV12)"
#define VLXCODEC_DESCRIPTION_MJPG L"vidlox Test Decompressor (MJPG)"

#endif /* VIDLOX_TESTCODEC_H */
