/*
 * vidlox-tp-mjpeg64.dll - the test platform's video compressor: a DirectShow
 * transform filter listed in CLSID_VideoCompressorCategory, RGB24 in
 * (FORMAT_VideoInfo, bottom-up), Motion JPEG out (MEDIASUBTYPE_MJPG,
 * biCompression 'MJPG'), one JPEG key frame per input frame, encoded by
 * WIC's JPEG encoder. None of Wine 8's own compressors accepts RGB24.
 *
 * Registration (in the test prefix, by scripts/lib.sh):
 *     regsvr32 vidlox-tp-mjpeg64.dll       registers the class and the filter
 *     regsvr32 /u vidlox-tp-mjpeg64.dll    removes both
 *
 * IAMVfwCompressDialogs, like a Video for Windows codec driver's dialogs:
 *   ShowDialog(VfwCompressDialog_Config, owner)  a modal dialog, caption
 *       VLXTP_MJPEG_CONFIG_CAPTION, with an edit control VLXTP_MJPEG_IDC_QUALITY
 *       holding the quality (1..100), and IDOK / IDCANCEL buttons. OK stores
 *       the typed quality (clamped to 1..100; a non-number changes nothing),
 *       Cancel keeps it. Answers S_OK once the dialog is closed.
 *   ShowDialog(VfwCompressDialog_About, owner)   a message box, caption
 *       VLXTP_MJPEG_ABOUT_CAPTION, with an OK button. Answers S_OK.
 *   ShowDialog(VfwCompressDialog_QueryConfig / _QueryAbout, ...) shows
 *       nothing and answers S_OK: both dialogs exist.
 *   Config and About answer VFW_E_NOT_STOPPED while this instance is
 *   streaming; any other dialog value is E_INVALIDARG.
 *   GetState / SetState: the quality as a 4-byte signed integer
 *   (GetState with a null buffer reports the size).
 *
 * The quality belongs to the filter instance (as the platform's AVI
 * Compressor configures the codec instance it opened), read at each frame:
 * a dialog shown through another instance changes nothing in this one.
 * It is handed to the JPEG encoder as ImageQuality (quality / 100); Wine 8's
 * JPEG encoder ignores that option, so below 76 the compressor also
 * averages the picture over blocks of VLXTP_MJPEG_BLOCK(quality) pixels
 * square, on the JPEG's own 8x8 / 16x16 grid: flat blocks keep only their
 * DC coefficients, so a lower quality gives coarser and smaller frames.
 */
#ifndef VIDLOX_TP_MJPEG_H
#define VIDLOX_TP_MJPEG_H

#define VLXTP_MJPEG_NAME L"vidlox Test MJPEG Compressor"
#define VLXTP_MJPEG_CONFIG_CAPTION L"vidlox Test MJPEG Compressor Settings"
#define VLXTP_MJPEG_ABOUT_CAPTION L"About vidlox Test MJPEG Compressor"

/* Dialog resource and control ids of the Config dialog. */
#define VLXTP_MJPEG_IDD_CONFIG 100
#define VLXTP_MJPEG_IDC_QUALITY 1001

#define VLXTP_MJPEG_DEFAULT_QUALITY 90
#define VLXTP_MJPEG_BLOCK(quality) ((quality) > 75 ? 1 : (quality) > 25 ? 8 : 16)

/* {3C2B7A10-58E4-4F7B-A3D1-6E0F9B2C4A11} */
#define VLXTP_MJPEG_CLSID_INIT {0x3c2b7a10, 0x58e4, 0x4f7b, {0xa3, 0xd1, 0x6e, 0x0f, 0x9b, 0x2c, 0x4a, 0x11}}

#endif /* VIDLOX_TP_MJPEG_H */
