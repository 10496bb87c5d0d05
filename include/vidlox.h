/*
 * vidlox64.dll - video capture and encoding for script hosts.
 *
 * Every function returns a 32-bit signed integer: 0 or a positive value is a
 * result, a negative value a refusal or failure whose number names the step
 * that failed (tables below). Capture functions act on the active slot chosen
 * with vlx_SetActiveSel and must be called from the thread that called
 * vlx_Init, one call at a time.
 *
 * Platform calls of the capture side are reported to one error recorder: the
 * status code becomes vlx_GetLastError(); with a log level set, a line
 *     "1 <context> = <status name>\r\n"
 * is appended to the host's log buffer; a code other than S_OK and
 * VFW_S_NOPREVIEWPIN is posted to the error window as message VLX_ERROR_MESSAGE
 * with wParam 1 and lParam the code sign-extended.
 */
#ifndef VIDLOX_H
#define VIDLOX_H

#include <stdint.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VLX_VERSION 213             /* vlx_Version(): 2.1.3 */
#define VLX_ERROR_MESSAGE 0x8765    /* 34661, posted to the error window */
#define VLX_SLOT_COUNT 32

/* Slot states, as vlx_GetRef returns them. */
#define VLX_SLOT_CLOSED 0
#define VLX_SLOT_OPEN 2    /* graph built, not running */
#define VLX_SLOT_RUNNING 3

/* ---- Library frame ------------------------------------------------------ */

/* Initialises COM on the calling thread as a single-threaded apartment.
 * -1: already initialised. Otherwise the HRESULT of CoInitialize: 0, 1 (COM
 * was already initialised on this thread) or a failure code; the library
 * counts as initialised in every case, and vlx_Exit undoes it once. */
int32_t vlx_Init(void);

/* -1: not initialised. 0: CoUninitialize called. Open slots stay open. */
int32_t vlx_Exit(void);

/* 0: `slot` (0..31) becomes the active slot. -1: out of range, unchanged. */
int32_t vlx_SetActiveSel(int32_t slot);
/* The active slot. */
int32_t vlx_GetActiveSel(void);
/* State of the active slot: VLX_SLOT_CLOSED, _OPEN or _RUNNING. */
int32_t vlx_GetRef(void);
/* VLX_VERSION, at any time. */
int32_t vlx_Version(void);

/* ---- Errors and log (callable at any time, also before vlx_Init) -------- */

/* 0. Level 1 logs failures, 2 every reported call; any other value: off. */
int32_t vlx_SetLogLevel(int32_t level);

/* 0. `log_text` must hold a NUL-terminated text (normally empty) for as long
 * as it is set; lines are appended and never cut: a line that does not fit
 * in `log_size` bytes (terminator included) is dropped whole. NULL, or a
 * size of 0 or less, turns the log off. A buffer whose first `log_size`
 * bytes hold no terminator is treated as full and never read beyond. */
int32_t vlx_SetLogBuffer(char* log_text, int32_t log_size);

/* 0. Failure codes are posted to `hwnd` (NULL: no window). `extra` is
 * accepted and has no effect: the message is always VLX_ERROR_MESSAGE. */
int32_t vlx_SetErrorCallbackHwnd(HWND hwnd, int32_t extra);

/* Status code of the most recent reported platform call (0 at load). */
int32_t vlx_GetLastError(void);

/* ---- Device and codec lists -------------------------------------------
 * A list appends each friendly name as UTF-8 followed by CR LF to the
 * NUL-terminated text already in `buffer`, and returns the number of names
 * appended. The size query returns the bytes a list needs in an empty
 * buffer: sum of (name length + 2) plus 1. `kind` 0 selects video devices or
 * compressors, any other value audio.
 *
 * List and size query always agree:
 *  - names are converted whole, whatever their length;
 *  - an entry whose property bag or FriendlyName cannot be read contributes
 *    an empty line (just CR LF), so that line k is always device k, the
 *    index vlx_Open takes.
 * A NULL `buffer` is refused with -1 and nothing is enumerated.
 *
 *   vlx_GetDeviceList / vlx_GetDeviceListSize
 *     -1  not initialised, NULL buffer, or the system device enumerator
 *         cannot be created
 *     -2  the category has no enumerator (none installed: S_FALSE is logged
 *         and posted as a failure); the buffer is unchanged
 *   vlx_GetCodecList / vlx_GetCodecListSize
 *     -1  not initialised or NULL buffer
 *     -2  the system device enumerator cannot be created
 *     -3  the category has no enumerator; the buffer is unchanged
 */
int32_t vlx_GetDeviceList(char* buffer, int32_t kind);
int32_t vlx_GetDeviceListSize(int32_t kind);
int32_t vlx_GetCodecList(char* buffer, int32_t kind);
int32_t vlx_GetCodecListSize(int32_t kind);

#ifdef __cplusplus
}
#endif

#endif /* VIDLOX_H */
