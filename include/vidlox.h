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
 *
 * Lists and their size queries: a list function appends lines to the
 * NUL-terminated text already in the host's buffer and takes no capacity;
 * the host sizes the buffer with the list's size query. Since a list can
 * grow between the two calls (a camera plugged in, a codec installed), a
 * list function never writes more bytes, terminator included, than the last
 * size query of the same list answered, when the host made one: it writes
 * the whole lines that fit, in order, stops at the first that does not, and
 * counts only what it wrote. The same list is the same function with the
 * same `kind` (or device index) and, for a slot's lists, the same slot; a
 * size query that fails forgets the earlier answer. Without a size query a
 * list is written whole.
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
 * was already initialised on this thread) or a failure code (for instance
 * RPC_E_CHANGED_MODE on a thread the host made multithreaded); the library
 * counts as initialised in every case. */
int32_t vlx_Init(void);

/* -1: not initialised. 0: ended. CoUninitialize is called once when
 * vlx_Init's CoInitialize succeeded (0 or 1), and not at all after a failed
 * one, which leaves the host's own apartment alone. Open slots stay open. */
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

/* ---- Buffer sizes ------------------------------------------------------
 * Calls the size query that `query` selects and returns its result
 * unchanged, negative codes included; it checks nothing itself.
 *     0  vlx_GetDeviceListSize(0)     1  vlx_GetDeviceListSize(1)
 *     2  vlx_GetStreamFilterListSize()
 *     3  vlx_GetCodecListSize(0)      4  vlx_GetCodecListSize(1)
 *     5  vlx_GetImageMemSize(0)       6  vlx_GetImageMemSize(1)
 *     7  vlx_GetDevCapConfigSize(0)   8  vlx_GetDevCapConfigSize(1)
 *     9  vlx_GetDevCapConfigSize(2)
 *     any other value: -1, nothing called */
int32_t vlx_GetBufferSize(int32_t query);

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

/* ---- Capture graph -----------------------------------------------------
 * vlx_Open builds the active slot's graph: the capture device (its position
 * in the video device list), a Sample Grabber that accepts RGB24 only, and
 * the renderer branch of `render_mode`:
 *     0    "Video Renderer" on the preview stream through the grabber
 *     1    "VMR7", configured with rendering mode `mode_param1` and
 *          `mode_param2` streams (low 32 bits of each)
 *     2    "VMR9", configured the same way
 *     6    "Null Renderer"
 *     300  the capture stream into the AVI file named by `mode_param1`
 *          (UTF-16), through the compressor whose friendly name equals
 *          `mode_param2` exactly (UTF-16; NULL: uncompressed), then the
 *          preview stream through the grabber into a "Null Renderer"
 *     301  as 300, with no renderer named for the preview stream
 *          A value from 1 to 65535 in place of either name is no address
 *          and is never read: as a file name it is refused with -45 (-50
 *          with a compressor) without calling SetOutputFileName, as a
 *          compressor name it matches no friendly name (-49).
 *     other  no branch: device and grabber stay unconnected
 * Filters are named "Device Filter", "Sample Grabber" and as above. A
 * camera that sends no RGB24 (most webcams send YUY2, NV12 or MJPG) reaches
 * the grabber through a decoder the platform's graph builder inserts, for
 * instance "AVI Decompressor" around a Video for Windows codec.
 * A requested format (vlx_SetDevWidth/Height/FrameRate) is applied with
 * vlx_SetDevCapConfig before the renderer exists.
 *
 *   0 / 1  built; 1 when the device refused the requested format
 *   -1 not initialised            -2 slot already open
 *   -6 device_index or reserved negative
 *   -3 no video capture device    -4 device_index out of range
 *   -30 FilterGraph  -31 SampleGrabber  -32 ISampleGrabber  -33 SetMediaType
 *   -34 AddFilter(grabber)  -35 CaptureGraphBuilder2  -36 SetFiltergraph
 *   -37 IMediaControl  -38 SystemDeviceEnum  -57 format request failed
 *   mode 0: -39 create, -79 add, -76 render
 *   mode 1: -40 create, -41 IVMRFilterConfig, -87 SetRenderingMode,
 *           -88 SetNumberOfStreams, -89 add, -86 render
 *   mode 2: -42, -43, -97, -98, -99, -96 (the same steps on VMR9)
 *   mode 6: -44 create, -59 add, -56 render
 *   AVI: -45 SetOutputFileName, -46 render capture (no compressor);
 *        -47 device enumerator, -48 compressor category, -49 no compressor
 *        with that name, -50 SetOutputFileName, -51 render (compressor)
 *   mode 300: -52 create, -53 add, -54 render   mode 301: -55 render
 *   -58 IVideoWindow
 * After a failure every interface of the slot is released and the slot is
 * closed; a new vlx_Open may follow. Before a graph is released (here and
 * in vlx_Close) its video window is hidden and given no owner, unreported.
 * The preview branches of modes 0, 1, 2 and 6 fail when RenderStream
 * answers any failure code (for instance
 * VFW_E_CANNOT_CONNECT: the camera sends only formats that no installed
 * decoder turns into RGB24); success codes go on with what was connected.
 * Modes 300 and 301 accept S_OK and VFW_S_NOPREVIEWPIN.
 */
int32_t vlx_Open(int32_t device_index, int32_t render_mode, int32_t reserved, intptr_t mode_param1,
                 intptr_t mode_param2);

/* Offers every usable capability of the active slot's capture pin
 * (FORMAT_VideoInfo, whatever its pixel format) to SetFormat with the
 * requested width, height and frame rate written into it; the last one
 * accepted is in force. For uncompressed
 * RGB types (BI_RGB, BI_BITFIELDS) biSizeImage and lSampleSize are set to
 * the new frame size, row stride x |height| (0 when a negative width or a
 * size beyond 32 bits leaves no valid one), so that a device which takes the
 * type as given announces frames of the size it delivers.
 *   0 done (also: no usable capability, or a capabilities block size other
 *     than 128)   1 the device refused a format (the offers stop there)
 *   -1 not initialised  -2 no graph in the slot  -3 no device
 *   -4 the capture pin has no IAMStreamConfig
 *   -7 the device took the format, but the Smart Tee behind a capture-only
 *      pin could be connected again neither with it nor with its old type:
 *      the preview branch no longer reaches the grabber (close and open)
 * Once a format was offered, a frame the grabber holds from before belongs
 * to another connection: it is dropped (on a stopped slot whose grabber
 * holds one, by switching its buffering off and on again, unreported) and no
 * frame function hands it out (-7 until the first frame of the new
 * connection).
 * Width and height are written as requested, zeros included. A frame rate
 * of 0, below 0, NaN, or so small that 10^7 / rate leaves the 32-bit range
 * asks for no rate: each capability keeps its own AvgTimePerFrame.
 *
 * What a host gets from a typical USB 2 webcam, which lists YUY2 at every
 * size first and MJPG after it, YUY2 slowing down as the size grows (for
 * instance 640x480 at 30 fps, 1280x720 at 10, 1920x1080 at 5) while MJPG
 * keeps 30 fps:
 *  - a size and rate that every capability accepts (640x480 at 30 fps,
 *    1280x720 at 10 fps or less): 0, and the last capability, MJPG, is in
 *    force, at that size and rate. The graph decodes it to RGB24 on the
 *    way to the grabber ("AVI Decompressor" in the filter list);
 *  - a rate YUY2 cannot give at that size (1280x720 or 1920x1080 at 30
 *    fps): the first YUY2 capability refuses it, the offers stop there and
 *    vlx_Open returns 1 with the device's default format unchanged (YUY2
 *    640x480 at 30 fps). Such a camera's MJPG 1280x720 at 30 fps cannot be
 *    had through this request. */
int32_t vlx_SetDevCapConfig(void);

/* Places the preview window as a child (WS_CHILD | WS_CLIPSIBLINGS) of the
 * owner window, given as a 32-bit handle value, at (x, y, width, height) in
 * its client area, switches sample buffering on and runs the graph. With
 * window 0 the preview is a borderless window of its own (WS_POPUP |
 * WS_CLIPSIBLINGS) at (x, y, width, height) on the screen, shown without
 * being activated (vlx_ReSize places it the same way).
 *   0 Run answered S_OK   1 Run answered anything else (still running)
 *   -1 slot not open   -2 already running   -3 no media control */
int32_t vlx_Play(int32_t window, int32_t x, int32_t y, int32_t width, int32_t height);
/* vlx_Play without the preview window.
 *   0 / 1 as vlx_Play   -1 not open   -2 running   -3 no sample grabber
 *   -4 no media control */
int32_t vlx_Play2(void);
/* Moves the preview window; does not start or stop the graph.
 *   0 done   -1 slot not open   -2 no video window */
int32_t vlx_ReSize(int32_t window, int32_t x, int32_t y, int32_t width, int32_t height);
/* 0 stopped (slot open again)   -1 not running   -2 no media control */
int32_t vlx_Stop(void);
/* On a running slot: 1 switches the grabber's buffering on, 0 off, -1
 * returns the last choice made here (0 at load, library-wide); any other
 * value changes nothing. Result 0 otherwise.
 *   -1 not running   -2 no sample grabber */
int32_t vlx_SetCapConfig(int32_t buffering);
/* Stops a running graph, hides the preview window and takes it from its
 * owner, then releases the slot; requested formats stay.
 *   0 closed   -1 slot not open */
int32_t vlx_Close(void);
/* The graph's state: 0 stopped, 1 paused, 2 running. GetState waits at
 * most VLX_STATE_WAIT_MS milliseconds for the graph to settle: a graph still
 * changing state then (a device that fails to start never settles) answers
 * the state it is moving to.
 *   -1 not open   -2 GetState failed with E_FAIL   -3 no media control
 *   -4 GetState failed with another code (vlx_GetLastError has it) */
#define VLX_STATE_WAIT_MS 2000
int32_t vlx_GetState(void);

/* The names of the filters in the active slot's graph, in the graph's
 * enumeration order, as a name list: each name as UTF-8 followed by CR LF,
 * appended to the NUL-terminated text already in `buffer`. The result is
 * the number of filters listed; the size query gives the bytes the list
 * needs in an empty buffer (sum of name length + 2, plus 1).
 * vlx_GetStreamFilterList is the same function under a second name.
 *   -1 slot not open (also: NULL buffer, nothing enumerated)   -2 no graph
 * List and size query always agree:
 *  - a name whose UTF-8 form exceeds 255 bytes is cut after the last whole
 *    character that fits in 255 bytes (a surrogate pair is never split);
 *  - a filter whose QueryFilterInfo fails contributes an empty line (just
 *    CR LF) and is counted, so that the count is the number of lines;
 *  - when the graph gives no filter enumerator the list is empty (0, size 1).
 */
int32_t vlx_StreamFilterList(char* buffer);
int32_t vlx_GetStreamFilterList(char* buffer);
int32_t vlx_GetStreamFilterListSize(void);

/* ---- Frames ------------------------------------------------------------
 * Frames are 24-bit DIBs (blue, green, red), rows padded to 4 bytes,
 * bottom-up when biHeight is positive, exactly as the grabber holds them.
 * The frame header is a 44-byte BITMAPINFO: the connected bmiHeader and one
 * zero RGBQUAD. Codes of the frame functions:
 *   -1 slot not open   -2 no connected video format
 *   -3 buffering is off (before vlx_Play)   -4 buffer too small
 *   -5 null pointer   -6 grabber not connected
 *   -7 no frame has arrived yet, or none since the last format step
 *      (vlx_SetDevCapConfig): a sample the grabber still holds from an
 *      earlier connection is never handed out under the new header
 *   -34 GetCurrentBuffer failed with any other failure code
 *       (vlx_GetLastError has it); nothing is handed out */

/* Draws the newest frame unscaled onto `hdc` with SetDIBitsToDevice(hdc, x,
 * y, width, height, 0, 0, 0, rows, frame, header): the destination rectangle
 * (x, y, width, height) receives the frame's lower-left width x height
 * pixels, upright. With the frame's own width and height the whole frame
 * lands at (x, y). A smaller `height` shows only the frame's bottom `height`
 * rows; a larger one places the frame (height - frame height) rows lower.
 * At most the frame's own rows are read, whatever `height` says.
 *   0 drawn   -9 no sample grabber   -8 GDI drew nothing
 *   -4 also when the frame copy cannot be allocated */
int32_t vlx_GetImage(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height);
/* mode 0: bytes of one frame; any other mode: 44, the header size.
 *   -1 slot not open   -3 no sample grabber   -2 no connected format */
int32_t vlx_GetImageMemSize(int32_t mode);
/* Copies the newest frame into `pixels`: `*size` holds the capacity on entry
 * and the bytes copied on return (with NULL pixels, the bytes needed). On
 * success the 44-byte header is written to `header`.
 *   0 copied   -8 no sample grabber   -5 also for a NULL header */
int32_t vlx_GetImageMem(void* pixels, int32_t* size, void* header);

/* ---- Still pictures ----------------------------------------------------
 * Both take the newest frame as vlx_GetImage does (one copy of it) and
 * share the frame codes above (-4 also when the frame copy cannot be
 * allocated); with the log on, each logs its GetConnectedMediaType and
 * GetCurrentBuffer calls under its own name. A refusal before the file step
 * creates no file, and neither function leaves a partial file behind: a file
 * it began and could not finish is removed. */

/* Writes a BMP file (ANSI path, replaced if it exists): the 14-byte file
 * header (bfSize = pixel bytes + 54, bfOffBits 54), the frame's 40-byte
 * BITMAPINFOHEADER exactly as vlx_GetImageMem returns it, then the frame's
 * bytes unchanged (so a top-down frame gives a top-down BMP, which viewers
 * show upright).
 *   0 written   -9 no sample grabber   -8 the file cannot be created
 *   -10 a write failed or was short, or the file could not be closed; the
 *       partial file is removed */
int32_t vlx_SaveBMP(const char* file_name);

/* Encodes the frame through WIC into `file_name` (UTF-16, replaced if it
 * exists), upright, scaled to `width` x `height` (either 0 or less: the
 * frame's own width or height; the aspect ratio is the caller's affair).
 *   format  container             pixel format   option, 0 <= quality <= 100
 *     0     BMP                   24bpp BGR      none
 *     1     JPEG                  24bpp BGR      "ImageQuality" = quality/100
 *     2     PNG                   24bpp BGR      none
 *     3     GIF                   8bpp indexed   none (median-cut palette)
 *     4     TIFF                  24bpp BGR      "CompressionQuality" = q/100
 *     5     JPEG XR               24bpp BGR      "ImageQuality" = quality/100
 *     6     HEIF                  24bpp BGR      "ImageQuality" = quality/100
 * A quality outside 0-100 (negative ones included) is not an error: no
 * option is written, except "Lossless" (VT_BOOL 1) for JPEG XR. Quality
 * options are VT_R4.
 * Frames are written upright whichever way their rows run: a bottom-up frame
 * is flipped, a top-down one (negative biHeight) is taken as it is, with its
 * absolute height. Rows are copied into the WIC bitmap one by one with the
 * stride its lock reports.
 *   0 written   -9 no sample grabber
 *   -10 CoCreateInstance(WICImagingFactory)   -11 format not 0-6
 *   -12 CreateEncoder (JPEG XR and HEIF where the system has no encoder)
 *   -13 CreateStream   -14 the file cannot be opened for writing
 *   -15 encoder Initialize   -16 CreateNewFrame   -17 writing the option
 *   -18 frame Initialize   -19 SetSize   -20 SetPixelFormat
 *   -21 CreateBitmap   -22 Lock   -23 the lock's data pointer or stride
 *   -24 the frame holds fewer bytes than its header describes, or the
 *       bitmap's buffer is too small for it (nothing copied)
 *   -25 CreateFormatConverter   -26 CreateBitmapFlipRotator
 *   -27 flip-rotator Initialize   -28 CreateBitmapScaler
 *   -29 scaler Initialize   -30 converter Initialize   -31 WriteSource
 *   -32 frame Commit   -33 encoder Commit
 * The WIC calls are not logged: their failures show in these codes only.
 * COM must be initialised on the calling thread (vlx_Init does it). */
int32_t vlx_SaveImage(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height);

/* ---- Requested capture format ------------------------------------------
 * Stored in the active slot, no checks, always 0; applied at the next
 * vlx_Open or vlx_SetDevCapConfig and kept across vlx_Close. 0 = none. */
int32_t vlx_SetDevWidth(int32_t width);
int32_t vlx_SetDevHeight(int32_t height);
int32_t vlx_SetDevFrameRate(double frame_rate);

/* ---- Capture capabilities ------------------------------------------------
 * The usable capabilities of the active slot's capture pin (those
 * vlx_SetDevCapConfig offers: FORMAT_VideoInfo with a whole
 * VIDEOINFOHEADER) as three parallel lists, line k of each describing the
 * same capability: the frame rate 10^7 / AvgTimePerFrame with "%1.2f" ("30.00";
 * an AvgTimePerFrame of 0 gives "inf"), the width and the height with "%1d".
 * Each line ends with CR LF; the lines are appended to the NUL-terminated
 * text already in each buffer.
 *
 * vlx_GetDevCapConfig: 0 (also when nothing was appended)
 * vlx_GetDevCapConfigSize: the bytes list `list` (0 rates, 1 widths,
 *   2 heights; any other value: an empty list) needs in an empty buffer,
 *   terminator included: 1 when there is nothing to list
 *   -1 not initialised (vlx_GetDevCapConfig also: a NULL buffer, nothing
 *      enumerated)
 *   -2 no graph in the slot   -3 no device
 *   -4 the capture pin has no IAMStreamConfig
 * A capabilities block size other than 128, or a failed
 * GetNumberOfCapabilities, lists nothing. Each list keeps within the last
 * answer of its own size query (see the top of this file); the lists stay
 * parallel, a capability going into all three or into none. */
int32_t vlx_GetDevCapConfig(char* rates, char* widths, char* heights);
int32_t vlx_GetDevCapConfigSize(int32_t list);

/* One value of capability 0, read without the usability tests of the lists:
 *     0 biWidth   1 biHeight   2 dwBitRate   3 dwBitErrorRate
 *     4 AvgTimePerFrame (low 32 bits)   5 biCompression (FourCC, BI_RGB 0)
 *   0 any other item, or no capabilities (capability 0 is then not read)
 *   -1 slot not open   -3 no graph in the slot
 *   -4 FindInterface failed   -2 GetNumberOfCapabilities did not answer S_OK
 *   -5 capabilities block size other than 128
 *   -6 capability 0 cannot be read, or its type is not FORMAT_VideoInfo
 *      with a whole VIDEOINFOHEADER (its fields are never guessed at)
 * The checks run in the order -1, -3, -4, -2, -5. */
int32_t vlx_GetCapInfo(int32_t item);
/* ---- Property pages and the compressor's dialogs ------------------------
 * Each shows the platform's modal frame or dialog, owned by `owner_window`,
 * on the calling thread, and returns when the user has closed it. The frame
 * is shown whatever it answers; its result is not returned. */

/* The pages of the graph's filter named `filter_name` (UTF-16, the name it
 * was added under: "Device Filter", "Sample Grabber", "Video Renderer",
 * "VMR7", "VMR9", "Null Renderer", or a compressor's friendly name); the
 * frame's caption is the filter's own name.
 *   0 shown   -1 slot not open   -3 no filter graph
 *   -2 no filter of that name (also a NULL name, which is not looked up),
 *      the filter has no property pages, or GetPages failed (nothing shown)
 * The frame is captioned with `filter_name` when QueryFilterInfo fails. */
int32_t vlx_FilterProp(HWND owner_window, const wchar_t* filter_name);

/* The pages of the device filter's first pin (whatever its direction),
 * captioned "デバイスピンのプロパティ" (UTF-16).
 *   0 shown   -1 slot not open   -6 no device filter
 *   -2 EnumPins failed   -3 Reset failed   -4 the device has no pin
 *   -5 the pin has no property pages, or GetPages failed (nothing shown) */
int32_t vlx_DevPinProp(HWND owner_window);

/* IAMVfwCompressDialogs::ShowDialog(dialog, owner_window) on the compressor
 * that the slot's AVI branch put into the graph (vlx_Open modes 300/301 with
 * a compressor name, when that compressor offers the interface): dialog 1
 * configure, 2 about, 4 / 8 ask whether those exist (nothing is shown).
 *   -1 the slot holds no compressor dialogs (no vlx_Init or slot state is
 *      needed otherwise)
 *   otherwise ShowDialog's HRESULT, unchanged (S_OK, S_FALSE, failures) */
int32_t vlx_CodecDialog(HWND owner_window, int32_t dialog);

/* ---- Mixing renderer controls (render modes 1 VMR7, 2 VMR9) ------------- */

/* Blends the bitmap selected into `source_dc` over the running preview:
 * source rectangle in pixels, destination in normalized video coordinates
 * (0.0 .. 1.0), `alpha` 0.0 transparent .. 1.0 opaque. `use_color_key` 1
 * makes the key colour (low 8 bits of each of red, green, blue) transparent;
 * any other value blends every pixel.
 *   -1 slot not running
 *   -2 the render mode is not 1 or 2 (no mixing renderer: nothing mixed)
 *   -3 the mode's VMR filter is missing
 *   -8 the renderer offers no mixer bitmap; nothing is set
 *   -4 / -5 / -6 / -7 SetAlphaBitmap answered E_INVALIDARG / E_POINTER /
 *      E_OUTOFMEMORY / E_FAIL
 *   otherwise SetAlphaBitmap's HRESULT, unchanged (0 on success) */
int32_t vlx_VMRMixImage(HDC source_dc, int32_t source_left, int32_t source_top, int32_t source_right,
                        int32_t source_bottom, float alpha, float dest_left, float dest_top, float dest_right,
                        float dest_bottom, int32_t use_color_key, int32_t key_red, int32_t key_green,
                        int32_t key_blue);

/* A non-zero `deinterlace_prefs` sets the deinterlacing preferences
 * (DeinterlacePref / DeinterlacePref9 flags: 1 next best, 2 bob, 4 weave)
 * and `mode_guid` is ignored; zero sets the deinterlacing mode *mode_guid
 * (NULL: GUID_NULL) for every stream. Acts on the active slot's render mode
 * without looking at its state. Nothing is reported to the error recorder.
 *   -1 not initialised   -2 the render mode is not 1 or 2
 *   -3 the mode's VMR filter is missing (a closed slot after a vlx_Open
 *      that failed in a VMR step keeps that render mode)
 *   -4 the renderer offers no deinterlace control
 *   otherwise the HRESULT of SetDeinterlacePrefs / SetDeinterlaceMode */
int32_t vlx_SetVMRDeinterlace(uint32_t deinterlace_prefs, const GUID* mode_guid);

/* ---- Video file encoder --------------------------------------------------
 * Encodes host frames into a compressed video file through the Media
 * Foundation sink writer. Independent of the capture side: no slot, no
 * vlx_Init, no error recorder; results are return codes only.
 *
 * Codecs (`codec`):
 *     0  WMV3 in an ASF container
 *     1  H.264 baseline (66)   2  H.264 main (77)   3  H.264 high (100)
 *     5  HEVC main (1)         7  VP9 profile 0 (1)  8  AV1 main (1)
 *     4, 6  refused with -10: they name no format
 *     any other value: H.264 main
 * Frames: `height` rows of ((width * bits_per_pixel + 31) / 32) * 4 bytes,
 * the first row at the lowest address; 24 bits per pixel as RGB24, 32 as
 * RGB32. A vlx_GetImageMem frame can be written as it is with 24 bits.
 * Sample times are 0, d, 2d ... with d = trunc((1 / frame_rate) * 10^7).
 *
 * Threads: the host makes one encoder call at a time, for all ids together;
 * the map of ids and the writers take no lock.
 */

/* MFStartup(0x20070, MFSTARTUP_FULL): its HRESULT. */
int32_t vlx_InitEncoder(void);
/* MFShutdown: its HRESULT. */
int32_t vlx_UnInitEncoder(void);
/* A new encoder id: 0, 1, 2 ... never reused. -1 when no id is left (2^31
 * encoders created) or no memory. */
int32_t vlx_CreateEncoder(void);

/* Opens a sink writer for `file_name` (UTF-16).
 *   0 writing has begun      -100 unknown id
 *   -1 empty or NULL file name (also values 1 ... 65535)
 *   -2 width, height or bits_per_pixel not above 0; bits_per_pixel other
 *      than 24 and 32 (no input format matches them); a frame too large
 *      for 32-bit sizes
 *   -3 already open (the open writer is left alone)
 *   -7 also: frame_rate not positive or not finite, or outside about
 *      0.0047 ... 214.748 frames per second, where trunc(rate * 10^7) or
 *      the frame duration leaves 1 ... 2^31 - 1 (checked before any file
 *      is created)
 *   -10 also: codec 4 or 6 (checked before any file is created)
 *   -4 the sink writer cannot be created
 *   -5 ... -13 output type: create, frame size, frame rate, aspect ratio,
 *      major type, subtype, bit rate (its unsigned pattern), interlace
 *      mode, container type or profile
 *   -14 AddStream
 *   -15 ... -21 input type: create, frame size, frame rate, aspect ratio,
 *      major type, subtype, interlace mode
 *   -22 SetInputMediaType   -23 BeginWriting
 * A failed open leaves the encoder closed and may be tried again. */
int32_t vlx_OpenEncoder(int32_t encoder_id, const wchar_t* file_name, int32_t codec, int32_t width, int32_t height,
                        int32_t bits_per_pixel, double frame_rate, int32_t bit_rate);

/* Writes one frame; a non-zero `flip_vertical` reverses the row order on
 * the way. The sink writer takes RGB rows bottom-up, as DIBs and
 * vlx_GetImageMem frames lie: write those with 0, and top-down frames
 * with 1.
 *   0 written   -100 unknown id   -1 NULL pixels   -2 not open
 *   -3 MFCreateMemoryBuffer
 *   -4 Lock   -5 MFCopyImage   -6 Unlock   -7 SetCurrentLength
 *   -8 MFCreateSample   -9 AddBuffer   -10 SetSampleTime
 *   -11 SetSampleDuration   -12 WriteSample
 * A failed write leaves the encoder open and the next sample time as it
 * was. */
int32_t vlx_WriteEncoder(int32_t encoder_id, const void* pixels, int32_t flip_vertical);

/* Finalizes the file and closes the encoder (0 also when it was not open or
 * Finalize failed). -100 unknown id. */
int32_t vlx_CloseEncoder(int32_t encoder_id);
/* Drops the id; an encoder still open is finalized and its writer released
 * first. 0, or -100 for an unknown id. */
int32_t vlx_DeleteEncoder(int32_t encoder_id);

/* ==== Extensions ==========================================================
 * Functions beyond the library's first fifty, for what hosts need and those
 * lack: camera controls, capture formats, frame events, device identity and
 * health, the shared camera, profiles, stills. They follow the same
 * conventions: 32-bit results, a negative code for each failing step, a
 * size query beside each list, every platform call
 * reported to the error recorder under its own context string, and every
 * capture call on the thread that called vlx_Init. None of them changes what
 * a function above returns or logs unless the host opted in through one of
 * them.
 */

/* ---- Extensions: camera controls ----------------------------------------
 * A camera's own settings, as its driver exposes them on the capture filter
 * through IAMVideoProcAmp and IAMCameraControl, read and set on the device
 * of the active slot. The slot must be open, in any render mode, running or
 * not. A control is named by one id: the video processing amplifier's
 * properties keep the platform's numbers (VideoProcAmp_Brightness 0 ...
 * VideoProcAmp_Gain 9), the camera control's are the platform's plus 100
 * (CameraControl_Pan 100 ... CameraControl_Focus 106). Modes are the
 * platform's flags: VLX_CONTROL_AUTO, the device sets the value itself;
 * VLX_CONTROL_MANUAL, the value set holds.
 *
 * A device lacks a property when the first call on it (GetRange; Get for
 * vlx_GetControl) answers E_PROP_ID_UNSUPPORTED, E_PROP_SET_UNSUPPORTED or
 * E_NOTIMPL, or when GetRange answers S_OK with neither mode flag (as some
 * drivers answer for what they do not have). Every platform call is
 * reported under its own context string, for instance
 * "vlx_SetControl->DeviceFilter->QueryInterface(CameraControl)",
 * "vlx_SetControl->CameraControl->GetRange", "vlx_SetControl->CameraControl->Set",
 * "vlx_SetControl->CameraControl->Get" (VideoProcAmp for ids 0-9).
 * Codes shared by the five functions:
 *   -1 not initialised
 *   -2 the active slot is not open, or holds no device filter
 *   -12 memory ran out
 *
 *   vlx_GetControlRange / vlx_GetControl / vlx_SetControl
 *   -3 unknown control id (not 0-9 or 100-106)
 *   -5 the device has no interface for the control (QueryInterface of
 *      IAMVideoProcAmp for ids 0-9, IAMCameraControl for 100-106 failed)
 *   -6 the device lacks that property
 */
#define VLX_CONTROL_BRIGHTNESS 0
#define VLX_CONTROL_CONTRAST 1
#define VLX_CONTROL_HUE 2
#define VLX_CONTROL_SATURATION 3
#define VLX_CONTROL_SHARPNESS 4
#define VLX_CONTROL_GAMMA 5
#define VLX_CONTROL_COLOR_ENABLE 6
#define VLX_CONTROL_WHITE_BALANCE 7
#define VLX_CONTROL_BACKLIGHT_COMPENSATION 8
#define VLX_CONTROL_GAIN 9
#define VLX_CONTROL_PAN 100
#define VLX_CONTROL_TILT 101
#define VLX_CONTROL_ROLL 102
#define VLX_CONTROL_ZOOM 103
#define VLX_CONTROL_EXPOSURE 104 /* log2 seconds: -6 is 1/64 s */
#define VLX_CONTROL_IRIS 105
#define VLX_CONTROL_FOCUS 106
#define VLX_CONTROL_AUTO 1
#define VLX_CONTROL_MANUAL 2

/* The control's range, step, default value and the modes it offers (a sum
 * of VLX_CONTROL_AUTO and VLX_CONTROL_MANUAL), as GetRange gives them.
 *   0 written   -4 a null pointer (nothing is asked of the device)
 *   -9 GetRange failed */
int32_t vlx_GetControlRange(int32_t control, int32_t* minimum, int32_t* maximum, int32_t* step,
                            int32_t* default_value, int32_t* modes);

/* The value and mode in force, as Get gives them (in automatic mode, the
 * value the device chose).
 *   0 written   -4 a null pointer (nothing is asked of the device)
 *   -10 Get failed */
int32_t vlx_GetControl(int32_t control, int32_t* value, int32_t* mode);

/* Mode VLX_CONTROL_AUTO hands the control to the device (`value` is not
 * used: the default value goes with the flag); VLX_CONTROL_MANUAL sets
 * `value`, which must lie in the range and on a step from the minimum
 * ((value - minimum) a multiple of step; a step below 1 counts as 1). The
 * range is read first and a refused request never reaches Set. After Set,
 * value and mode are read back:
 *   0 the device holds what was asked: the mode read back (its automatic
 *     and manual flags) is `mode`, and in manual mode the value is `value`
 *   1 Set succeeded but the device holds something else (a driver that
 *     rounds to a coarser step, or ignores the request); vlx_GetControl
 *     reads what it holds
 *   -7 value below the minimum, above the maximum, or off step
 *   -8 bad mode: not VLX_CONTROL_AUTO or VLX_CONTROL_MANUAL, or one the
 *      control does not offer (checked before the device is asked, then
 *      against the range's modes)
 *   -9 GetRange failed   -11 Set failed   -10 the read-back Get failed */
int32_t vlx_SetControl(int32_t control, int32_t value, int32_t mode);

/* One line per control the device has (ids in ascending order), appended to
 * the NUL-terminated text already in `buffer`: nine fields, one TAB (0x09)
 * between two, then CR LF:
 *     id  name  minimum  maximum  step  default  modes  value  mode
 * The id in decimal; the name, lower-case ASCII: brightness contrast hue
 * saturation sharpness gamma color_enable white_balance
 * backlight_compensation gain pan tilt roll zoom exposure iris focus; every
 * further number right-aligned in 11 characters with spaces before it (the
 * width of -2147483648), so that a line's length never depends on a value
 * the device changes on its own. value and mode are Get's; a control whose
 * Get fails is listed with value 0 and mode 0. A control whose GetRange
 * fails is left out, as one the device lacks.
 * vlx_GetControlList: the number of lines appended. A device without either
 * interface lists nothing (0).
 * vlx_GetControlListSize: the bytes the list needs in an empty buffer,
 * terminator included (1 when there is nothing to list); it reads the
 * ranges only. A listing never writes more bytes than the last size query
 * of the active slot's list answered (terminator included): the lines that
 * would not fit are left out, whole.
 *   vlx_GetControlList
 *   -4 a NULL buffer (nothing enumerated) */
int32_t vlx_GetControlList(char* buffer);
int32_t vlx_GetControlListSize(void);

/* ---- Extensions: capture formats ---------------------------------------- */

/* Format choice (vlx_SetDevFormatChoice). */
#define VLX_FORMAT_CHOICE_ALL 0     /* every usable capability in turn */
#define VLX_FORMAT_CHOICE_EXACT 1   /* the one that equals the request */
#define VLX_FORMAT_CHOICE_NEAREST 2 /* the one closest to the request */
/* Bytes vlx_GetDevFormat may write for the subtype, terminator included. */
#define VLX_SUBTYPE_TEXT_SIZE 16

/* Every capability of the capture pin of video device `device_index` (its
 * position in vlx_GetDeviceList, the index vlx_Open takes), whether or not
 * a slot holds the device, in capability order: one line each, appended to
 * the NUL-terminated text already in `buffer`, fields separated by one
 * space (no field holds a space), each line ended by CR LF:
 *     INDEX SUBTYPE WIDTH HEIGHT MIN_FPS MAX_FPS KIND
 * for instance "8 MJPG 1280 720 5.00 30.00 VIDEOINFOHEADER".
 *     INDEX     the capability's index for GetStreamCaps; a capability that
 *               cannot be read is left out (its index is missing)
 *     SUBTYPE   a FourCC subtype of printable characters as its four
 *               characters ("YUY2", "NV12", "MJPG", "H264"; case kept); the
 *               RGB subtypes by name: RGB1 RGB4 RGB8 RGB555 RGB565 RGB24
 *               RGB32 ARGB32 ARGB1555 ARGB4444 A2R10G10B10 A2B10G10R10;
 *               any other subtype as its GUID in braces (38 characters)
 *     WIDTH HEIGHT  biWidth and the magnitude of biHeight of the format
 *               block; for KIND OTHER, the InputSize of the capability's
 *               VIDEO_STREAM_CONFIG_CAPS
 *     MIN_FPS MAX_FPS  the slowest and the fastest frame rate with "%1.2f":
 *               10^7 / MaxFrameInterval and 10^7 / MinFrameInterval of the
 *               VIDEO_STREAM_CONFIG_CAPS; where those state no range (not
 *               0 < Min <= Max), the format's own rate twice; "0.00 0.00"
 *               when neither states a rate
 *     KIND      the format block: VIDEOINFOHEADER, VIDEOINFOHEADER2,
 *               MPEG2VIDEOINFO, or OTHER
 * The device is bound afresh for the listing and released before the call
 * returns; its capture pin is its first pin whose AMPROPERTY_PIN_CATEGORY
 * is PIN_CATEGORY_CAPTURE. The enumerators' Next and each pin's
 * QueryInterface for IKsPropertySet (a pin without it is no capture pin)
 * are not reported; every other call is, under the function's own name.
 * vlx_GetFormatList returns the number of lines appended and never writes
 * more bytes (terminator included) than the last vlx_GetFormatListSize of
 * the same device index answered: a line that no longer fits ends the list.
 * vlx_GetFormatListSize returns the bytes the list needs in an empty buffer,
 * terminator included (1: nothing to list).
 *   -1 not initialised (vlx_GetFormatList also: a NULL buffer, nothing
 *      enumerated)
 *   -2 device_index negative   -3 the system device enumerator cannot be
 *      created   -4 no video capture device is installed
 *   -5 device_index out of range   -6 the device cannot be bound to a filter
 *   -7 EnumPins failed   -8 the device has no capture pin
 *   -9 the capture pin has no IAMStreamConfig
 *   -10 GetNumberOfCapabilities failed
 *   -11 the capabilities block size is not 128 (not a video pin)
 *   -12 memory ran out */
int32_t vlx_GetFormatList(char* buffer, int32_t device_index);
int32_t vlx_GetFormatListSize(int32_t device_index);

/* Stores the subtype the active slot asks for, beside the width, height and
 * frame rate of vlx_SetDevWidth/Height/FrameRate: a SUBTYPE as
 * vlx_GetFormatList writes it (FourCC case-sensitive; names and GUIDs as
 * listed, a GUID's hex digits in either case). NULL or "" asks for any.
 * No check of initialisation or slot state; kept across vlx_Close. Only
 * choices 1 and 2 of vlx_SetDevFormatChoice read it.
 *   0 stored   -1 the text names no subtype (the request is unchanged)
 *   -2 memory ran out (the request is unchanged) */
int32_t vlx_SetDevSubtype(const char* subtype);

/* How the active slot's requested format is applied, by vlx_Open (before
 * the renderer exists) and by vlx_SetDevCapConfig. No check of
 * initialisation or slot state; kept across vlx_Close.
 *   VLX_FORMAT_CHOICE_ALL (0, at load): as documented at vlx_SetDevCapConfig;
 *     the requested subtype is not read, and every call returns and logs
 *     what it did without this extension.
 *   VLX_FORMAT_CHOICE_EXACT (1): the one capability whose subtype (when
 *     one is requested), width and height (each when not 0) equal the
 *     request and whose frame-interval range holds 10^7 / rate truncated,
 *     as it is written (when a rate is requested).
 *   VLX_FORMAT_CHOICE_NEAREST (2): the capability closest to the request:
 *     first the size, by the ratio larger / smaller of width and of height
 *     (their product; a dimension not requested does not count), then the
 *     frame interval, by the same ratio to the nearest end of the capability's
 *     range (no distance inside it), then a capability of the requested
 *     subtype before others.
 * Ties go to the lower index: the device's own order of preference. With
 * choice 1 or 2 only that capability is offered, with one SetFormat, as
 * GetStreamCaps gave it except for AvgTimePerFrame, which takes the
 * requested rate's frame interval (nearest: moved into the capability's
 * range; no rate requested: the capability's own); the log holds
 * FindInterface, GetNumberOfCapabilities, every GetStreamCaps and at most
 * one SetFormat, under vlx_SetDevCapConfig's names. Only capabilities the
 * library can give the Sample Grabber are chosen: FORMAT_VideoInfo with a
 * whole VIDEOINFOHEADER, a width above 0 and a height other than 0.
 * VIDEOINFOHEADER2 and MPEG-2 capabilities are listed but never chosen: the
 * grabber takes VIDEOINFOHEADER formats only, and so do the decoders the
 * graph builder puts in front of it (AVI Decompressor). The format step of
 * vlx_Open runs when a width, height, rate or subtype is requested.
 * With choice 1 or 2 the format step answers:
 *   vlx_SetDevCapConfig
 *     0 the chosen capability is in force   1 the device refused it
 *     -1 ... -4 as with choice 0
 *     -5 nothing to choose from: a capabilities block size other than 128,
 *        no capability, or none the grabber can be given
 *     -6 choice 1: no capability equals the request; nothing is offered
 *
 *   vlx_Open
 *     1 the device refused the chosen capability (the graph is built)
 *     -60 choice 1: no capability equals the request (nothing offered)
 *     -61 nothing to choose from (vlx_SetDevCapConfig's -5)
 *     -57 another failure of the format step
 *   A failure releases the slot, as every failed vlx_Open does.
 *
 *   vlx_SetDevFormatChoice
 *     0 stored   -1 `choice` is not 0, 1 or 2 (the choice is unchanged) */
int32_t vlx_SetDevFormatChoice(int32_t choice);

/* The format the capture pin of the active slot's device delivers: the
 * media type of its connection, or, while the pin is not connected, its
 * current format (IAMStreamConfig::GetFormat); whether it is connected is
 * asked (IPin::ConnectedTo) without a report. `subtype` receives the
 * SUBTYPE text of vlx_GetFormatList, or "OTHER" for a subtype whose text
 * would not fit in VLX_SUBTYPE_TEXT_SIZE bytes; `width` and `height` the
 * width and the magnitude of the height; `frame_rate` 10^7 /
 * AvgTimePerFrame (0.0 when the format states no rate). Nothing is written
 * on a failure.
 *   0 written   -1 not initialised   -2 a NULL argument
 *   -3 no graph in the slot   -4 no device
 *   -5 the capture pin has no IAMStreamConfig (FindInterface)
 *   -6 that IAMStreamConfig is on no pin (QueryInterface for IPin)
 *   -7 ConnectionMediaType or GetFormat failed
 *   -8 the format is not video with a VIDEOINFOHEADER, VIDEOINFOHEADER2 or
 *      MPEG2VIDEOINFO block
 *   -9 memory ran out */
int32_t vlx_GetDevFormat(char* subtype, int32_t* width, int32_t* height, double* frame_rate);

/* ---- Extensions: frame events -------------------------------------------
 * Every frame once. The first vlx_WaitFrame, vlx_GetFrame or
 * vlx_SetFrameNotify (with a window) on an open slot starts frame tracking
 * there: from then on the slot's Sample Grabber hands each frame to the
 * library as it arrives (a grabber callback on the graph's streaming
 * thread), which numbers it, stamps it and keeps it (below: the sample
 * itself, or a copy). Numbers begin
 * at 1 with the first frame tracked and grow by one with every frame that
 * arrives, taken or not; they go on across vlx_Stop and vlx_Play. Tracking
 * ends when the slot is closed (vlx_Close); a new vlx_Open starts untracked.
 * A slot that is never tracked behaves, costs and logs exactly as before.
 * A tracked slot's grabber keeps no frame of its own: tracking switches its
 * buffering off (SetBufferSamples(FALSE), reported under the function that
 * started tracking, for instance "vlx_WaitFrame->SampleGrabber->
 * SetBufferSamples(FALSE)"), and vlx_Play and vlx_Play2 then make no
 * SetBufferSamples call of their own. vlx_GetImage, vlx_GetImageMem,
 * vlx_SaveBMP and vlx_SaveImage read the library's newest frame instead,
 * with the same codes, and code -7 before the first tracked frame, and log no
 * GetCurrentBuffer line; their GetConnectedMediaType lines stay.
 * vlx_SetCapConfig(1) on a tracked slot switches the grabber's own
 * buffering on again, as asked; the frame functions keep reading the
 * library's frame.
 * Frames without a copy: the newest frame is the grabber's sample itself,
 * held (a reference, the one before it released), wherever the allocator
 * of the grabber's input pin has buffers to spare: three or more
 * (IMemAllocator::GetProperties, asked when tracking starts and after each
 * format step). The camera fills the others meanwhile. Where it has fewer
 * (a decoder's allocator often has one) each frame is copied into the
 * library's memory as it arrives. vlx_GetFrameHolding tells which. Either
 * way vlx_GetFrame and vlx_GetImageMem copy the frame once, from there into
 * the host's memory, and vlx_LockFrame not at all. vlx_Stop turns a held
 * newest frame into a copy (the camera has all its buffers back while it is
 * stopped) that the frame functions still hand out.
 * The streaming thread reports nothing to the error recorder; the calls
 * below report their own platform calls, under their own names.
 * Close every tracked slot before unloading the library: the grabber's
 * callback and the message hook live in its code.
 * Codes of the functions that start tracking, where they start it:
 *   vlx_WaitFrame / vlx_GetFrame / vlx_SetFrameNotify / vlx_LockFrame
 *   -1 slot not open   -8 no sample grabber
 *   -9 the grabber refused the callback (SetCallback failed)
 *   -10 no memory or event for tracking */

/* info[] of vlx_GetFrame, VLX_FRAME_INFO_COUNT values. */
#define VLX_FRAME_NUMBER 0      /* the frame's number (above) */
#define VLX_FRAME_SAMPLE_TIME 1 /* its sample start time, 100 ns of stream time (below 0
                                 * for frames made before the graph's start time); -1 none */
#define VLX_FRAME_ARRIVAL 2     /* its arrival, 100 ns units of QueryPerformanceCounter */
#define VLX_FRAME_MISSED 3      /* frames that arrived since the previous take, never taken */
#define VLX_FRAME_DROPPED 4     /* the device's dropped-frame count; -1 none */
#define VLX_FRAME_INFO_COUNT 5
/* A time-out of vlx_WaitFrame that never ends (any negative value does). */
#define VLX_WAIT_FOREVER (-1)

/* Waits until the active slot holds a frame that vlx_GetFrame would take:
 * newer than the last one it took (any frame, before the first take) and
 * come through the grabber's connection of now (not one held from before a
 * format step). `timeout_ms` 0 only
 * looks; a negative one waits without end. While it waits, the calling
 * thread's window messages are dispatched (the preview window lives on
 * that thread); WM_QUIT ends the wait and is posted again for the host.
 * A stopped slot holding no new frame is refused at once: it would send
 * none.
 *   0 a new frame is there   1 the time-out ended first
 *   -2 the slot is not running and holds no new frame
 *   -4 WM_QUIT arrived while waiting (posted again)
 *   -5 the slot was closed while waiting (by a window procedure)
 *   -6 the wait failed (MsgWaitForMultipleObjectsEx) */
int32_t vlx_WaitFrame(int32_t timeout_ms);

/* Takes the newest frame, as vlx_GetImageMem gives it (the same 44-byte
 * header of the connected format and the same size rules: `*size` holds the
 * capacity on entry and the bytes copied on return), with `info`
 * (VLX_FRAME_INFO_COUNT values, see above; NULL: none wanted). Pixels and
 * info always belong to the same frame. The missed count covers the frames
 * between this frame and the one taken before it (since tracking began, for
 * the first take); a frame taken again counts 0. The dropped count is read
 * from the device's IAMDroppedFrames at this call (frames the device itself
 * never sent, which no number covers). A device counts a drop when it finds
 * itself late, which can be before the next frame it sends: the count read
 * with a frame may already hold drops that come after that frame, and
 * comparing counts between two takes only tells over a longer run. No frame
 * is lost between the grabber and this call without the missed count
 * showing it.
 * With NULL `pixels`: the newest frame's byte count in `*size` and its header,
 * nothing taken and `info` untouched. A frame too large for `*size` leaves
 * its byte count there and is not taken.
 *   0 taken   -2 no connected video format   -4 `*size` too small
 *   -5 NULL size or header   -7 no frame has arrived since tracking began
 *      (the first call starts it: vlx_WaitFrame first), or none since the
 *      last format step (vlx_SetDevCapConfig, which may connect the grabber
 *      again with another size or layout): a frame is only handed out with
 *      its own header */
int32_t vlx_GetFrame(void* pixels, int32_t* size, void* header, int64_t* info);

/* Posts `message` to `window` when a new frame arrives on the active slot:
 * wParam the slot, lParam the frame's number (its low 32 bits, zero-extended).
 * At most one such message per slot is posted and not yet retrieved (a
 * message posted before the slot was given another window or message may
 * still be queued beside it): the frames that arrive meanwhile are
 * announced by nothing (vlx_GetFrame's
 * missed count has them). A message hook on the window's thread sees the
 * message retrieved. A NULL `window` stops the messages: 0 in any slot
 * state, open or not, and no tracking starts for it; naming another window
 * or message replaces the old one.
 * A message never retrieved (its window destroyed with it queued) holds the
 * next ones back until the slot is given a window or message again.
 *   0 done   -2 `window` is not a window
 *   -3 a window of another process
 *   -6 SetWindowsHookEx failed (tracking has begun; the slot keeps the
 *      window it had, if any) */
int32_t vlx_SetFrameNotify(HWND window, uint32_t message);

/* Lends the host the newest frame without copying it: `*pixels` points at
 * its bytes (read-only; where samples are held, the sample's own), `*size`
 * receives their count, `header` the 44-byte header and `info` (NULL: none
 * wanted) the values of vlx_GetFrame, which this call counts as a take.
 * The lent frame's rule: the host may hold one lent frame per slot for as
 * long as it likes, and the camera never waits for it. The bytes stay
 * valid and unchanged until vlx_UnlockFrame, whatever arrives meanwhile and
 * across vlx_Stop, a format step and vlx_Close (a held sample keeps its
 * allocator's memory). While a held sample is lent the library holds no
 * other sample of the slot: newer frames are copied into the library's
 * memory as they arrive, so the camera keeps every buffer but the lent
 * one, frames go on arriving at the camera's rate and the device state
 * stays delivering. Holding it longer costs that one copy per frame that
 * arrives meanwhile, nothing else; the first frame after vlx_UnlockFrame is
 * held again. A camera that connects again keeping its allocator (a format
 * step, vlx_SetDevCapConfig) cannot resize buffers one of which is lent:
 * give the frame back before a format step. One frame at a time per slot.
 * Closing the slot while a frame is lent ends its tracking as always.
 *   0 lent   -1 slot not open   -2 no connected video format
 *   -5 NULL pixels, size or header   -7 no frame to lend (as vlx_GetFrame)
 *   -8 no sample grabber   -9 the grabber refused the callback
 *   -10 no memory or event for tracking
 *   -11 a frame of this slot is lent already (vlx_UnlockFrame first);
 *       nothing changes */
int32_t vlx_LockFrame(const void** pixels, int32_t* size, void* header, int64_t* info);
/* Gives back the frame vlx_LockFrame lent from the active slot; its bytes
 * must not be read afterwards.
 *   0 given back   -1 no frame of the active slot is lent */
int32_t vlx_UnlockFrame(void);

/* How the active slot's tracking keeps its frames ("Frames without a copy"
 * above). */
#define VLX_FRAMES_COPIED 0 /* each frame is copied into the library's memory */
#define VLX_FRAMES_HELD 1   /* the grabber's samples themselves are held */
/* Which of the two the active slot's tracking does with frames that arrive
 * while no held sample is lent (vlx_LockFrame). Nothing is reported.
 *   0 VLX_FRAMES_COPIED   1 VLX_FRAMES_HELD
 *   -1 slot not open   -2 the slot's frames are not tracked (no
 *      vlx_WaitFrame, vlx_GetFrame, vlx_LockFrame or vlx_SetFrameNotify with
 *      a window since it was opened) */
int32_t vlx_GetFrameHolding(void);

/* ---- Extensions: device identity and health ----------------------------- */

/* A device's path names it for as long as it is installed where it is: the
 * "DevicePath" property of its moniker (the name of a hardware device's
 * interface, the same after a restart and when other devices come and go),
 * or, for a device without one (software devices, audio capture through
 * the sound system), its moniker's display name. Two devices with the same
 * friendly name have different paths; the position of a device in the list
 * moves when a device before it is installed or removed, its path does not.
 *
 * The path list is a list like vlx_GetDeviceList's: one line per device, in
 * the same order as the name list of the same `kind` (0 video, any other
 * value audio), each path as UTF-8 followed by CR LF, appended to the
 * NUL-terminated text already in `buffer`; the result is the number of
 * lines appended, and the size query gives the bytes the list needs in an
 * empty buffer, terminator included. A device whose path cannot be read
 * contributes an empty line. A listing never writes more bytes than the last
 * size query of the same list (video or audio) answered; it writes the whole
 * lines that fit and returns their count. The "DevicePath" read is not
 * reported (most software devices have none); GetDisplayName, made for a
 * device without one, is.
 *   -1  not initialised (also: a NULL buffer, nothing enumerated)
 *   -2  the system device enumerator cannot be created
 *   -3  the category has no enumerator (nothing installed); the buffer is
 *       unchanged
 *   -4  memory ran out
 */
int32_t vlx_GetDevicePathList(char* buffer, int32_t kind);
int32_t vlx_GetDevicePathListSize(int32_t kind);

/* The position in the video device list (the `device_index` vlx_Open takes)
 * of the `occurrence`-th device (0 the first) whose path equals `text`
 * (UTF-8, compared byte for byte); when no device has that path, of the
 * `occurrence`-th device whose friendly name equals it. Twins with one name
 * are told apart by occurrence or, for good, by path.
 *   -1  not initialised, or a NULL `text` (also values 1 ... 65535)
 *   -2  the system device enumerator cannot be created
 *   -3  no video capture device is installed
 *   -4  no such device (fewer than occurrence + 1 matches)
 *   -5  occurrence negative
 *   -6  memory ran out
 */
int32_t vlx_FindDevice(const char* text, int32_t occurrence);

/* Device states: what vlx_GetDeviceState returns and vlx_SetDeviceNotify
 * posts. */
#define VLX_DEVICE_DELIVERING 0   /* running, and frames arrive */
#define VLX_DEVICE_WAITING 1      /* running, its first frame not yet there */
#define VLX_DEVICE_STALLED 2      /* running, and no frame for too long */
#define VLX_DEVICE_LOST 3         /* the graph reported the device gone */
#define VLX_DEVICE_ERROR 4        /* the run was stopped by an error */
#define VLX_DEVICE_IN_USE 5       /* another program holds the device */
#define VLX_DEVICE_NOT_RUNNING 6  /* stopped by the host (or never run) */

/* A running device counts as stalled after VLX_STALL_FRAME_INTERVALS frame
 * intervals (the AvgTimePerFrame of the grabber's connection) without a
 * frame, and never before VLX_STALL_MIN_MS. Before its first frame it has
 * VLX_FIRST_FRAME_WAIT_MS (or the stall time, if longer) from vlx_Play:
 * cameras often take a second or two to deliver the first frame. */
#define VLX_STALL_FRAME_INTERVALS 10
#define VLX_STALL_MIN_MS 1000
#define VLX_FIRST_FRAME_WAIT_MS 3000

/* The state of the active slot's device (VLX_DEVICE_*), judged in this
 * order:
 *   3  lost: the graph reported EC_DEVICE_LOST with 0 (removed). It stays
 *      lost, stopped or not, until the slot is closed (vlx_Reopen builds a
 *      new graph once the device is back)
 *   6  not running: the slot is open and the host has not run it, or has
 *      stopped it
 *   5  in use: vlx_Play or vlx_Play2 could not start the device because
 *      another program holds it. Run failed with one of the results Windows
 *      gives for that: 0x800705AA (ERROR_NO_SYSTEM_RESOURCES, the usual one
 *      from a USB camera's kernel-streaming driver), 0x800700AA
 *      (ERROR_BUSY), 0x80070020 (ERROR_SHARING_VIOLATION), 0x80070964
 *      (ERROR_DEVICE_IN_USE), 0xC00D1B6E (NS_E_VIDCAPDRVINUSE); or the graph
 *      reported EC_ERRORABORT with one of them before the first frame (a
 *      graph manager that starts its filters asynchronously answers Run
 *      before the device does). Its HRESULT goes to the error recorder as
 *      for 4
 *   4  stopped by an error: Run failed with any other failure (reported by
 *      vlx_Play), or the graph reported EC_ERRORABORT or
 *      EC_STREAM_ERROR_STOPPED; the error's HRESULT goes to the error
 *      recorder, once, as "vlx_GetDeviceState->MediaEventEx->GetEvent(
 *      ErrorAbort)". A new vlx_Play starts afresh
 *   1, 2, 0  waiting for the first frame, stalled, delivering (see the
 *      stall rule above); a frame is one that reached the Sample Grabber
 *   7  (VLX_DEVICE_AUDIO_LOST, "Extensions: sound") delivering, while the
 *      slot's audio device was reported gone (EC_DEVICE_LOST naming its
 *      filter); only a slot with an audio device ever gives it
 * The first call (or vlx_SetDeviceNotify) starts watching: the grabber gets
 * a callback (ISampleGrabber::SetCallback) that counts arrivals, and the
 * graph's events are read from then on. A slot already running whose
 * grabber holds a frame counts as delivering at once. Events are read with
 * IMediaEventEx::GetEvent and each is freed with FreeEventParams; events
 * other than the three above are dropped (no export of this library reads
 * the graph's events). A graph whose events cannot be read gives -3.
 * Watching goes on, for every slot opened later too, until vlx_Exit.
 *   -1  not initialised
 *   -2  the active slot is not open
 *   -3  the graph offers no event queue (IMediaEventEx), or reading it
 *       (IMediaEventEx::GetEvent) failed
 *   -4  the grabber refused the counting callback (SetCallback): the slot
 *       is not watched, and the next call tries again
 *   -5  memory ran out
 */
int32_t vlx_GetDeviceState(void);

/* Posts `message` to `window` (PostMessage; wParam the slot, lParam the new
 * state, VLX_DEVICE_*) whenever the device state of an open slot changes:
 * to stalled and back to delivering, to lost, and so on, including changes
 * the host causes itself (vlx_Play, vlx_Stop). Every open slot is watched,
 * and each slot vlx_Open opens later; a slot starts from the state it has
 * (no message for it), and vlx_Close ends its watching without a message.
 * A slot whose grabber refuses the counting callback is left unwatched
 * until a later call (this one or vlx_GetDeviceState) succeeds in giving it.
 * A second call moves the messages to another window or message. A NULL
 * `window` stops them.
 * Threads: one watcher thread for the whole library, started by the first
 * call with a window and ended (and waited for) by a call with NULL and by
 * vlx_Exit. It sees a lost device or an aborted stream as soon as the graph
 * queues the event, and a stall within 100 ms of its time. It calls no
 * filter, pin or grabber and never the error recorder: it reads the
 * watched graphs' event queues (the Filter Graph Manager's IMediaEventEx,
 * which takes calls from any thread), the grabber callback's frame count,
 * and the clock. vlx_Close, a failed vlx_Open and vlx_Exit wait until it is
 * not reading that graph before letting the graph go. While it runs it
 * keeps vidlox64.dll loaded: a host that frees the library without a call
 * with NULL (or vlx_Exit) leaves it loaded until the process ends. Not to be
 * called from DllMain.
 *   0  done
 *   -1  not initialised
 *   -2  the watcher thread cannot be started, or memory ran out (nothing is
 *       posted)
 *   -3  `window` is not a window (nothing changes)
 */
int32_t vlx_SetDeviceNotify(HWND window, uint32_t message);

/* Closes the active slot (as vlx_Close) and opens it again (as vlx_Open) on
 * the device that was opened in it last, found in the video device list by
 * its path, not by its old position: the same render mode and mode
 * parameters (the AVI file and compressor names of modes 300 and 301 as
 * they were given then), the requested format still in the slot, and the
 * preview's place as vlx_Play or vlx_ReSize last set it. When the slot was
 * running it runs again, with vlx_Play at that place if vlx_Play started it,
 * else with vlx_Play2. A slot closed since keeps what it was last opened
 * with. The result is vlx_Open's (whatever the new run answers; see
 * vlx_GetDeviceState), or:
 *   -1  not initialised
 *   -110  no vlx_Open has succeeded in this slot
 *   -111  no video capture device has that path now (unplugged); the slot
 *         is left closed, and a later vlx_Reopen may find it
 *   -112  the system device enumerator cannot be created; the slot is left
 *         closed
 *   -113  memory ran out
 * Its calls are reported under the names of the functions it performs
 * (vlx_Close, vlx_Open, vlx_Play, vlx_ReSize, vlx_Play2), and the search
 * under "vlx_Reopen->...". */
int32_t vlx_Reopen(void);

/* ---- Extensions: shared camera ------------------------------------------ */

/* A slot's frames published for any program to open at the same time: the
 * shared camera, vidlox-share64.dll (shipped beside the library, registered
 * with regsvr32), lists four devices in the video capture category, "vidlox
 * Shared Camera 1" to "vidlox Shared Camera 4", one per channel. Each is a
 * capture source that shows what is published on its channel, as RGB24 in
 * the publisher's size and rate, or the same size in YUY2 or NV12; any
 * number of programs (this library too, with vlx_Open) open a channel at
 * once, each in its own graph. A channel nobody publishes on shows a "no
 * signal" picture. Frames travel through one file mapping per channel in
 * the session's namespace; the publisher never waits for a reader, and a
 * reader that falls behind skips frames. The frames go out through the
 * slot's Sample Grabber callback, which frame events and device health
 * share, on the graph's streaming thread (one copy of each frame, however
 * many programs read it). A channel carries RGB24 frames of up to
 * 3840 x 2160 x 3 bytes, in any shape whose rows fit them (2160 x 3840 too).
 *
 * Trust: the channel's mapping, its publisher's mutex and its readers'
 * events are the current user's own: owned by the user, with a DACL that
 * lets the user alone open them. An object under one of those names that
 * another principal made first (another user's process, a service in the
 * session), or that the user's own processes made open to others, is never
 * used: vlx_ShareSlot refuses the channel (-10) and readers show "no
 * signal". Only the user (or an administrator) can make an object the
 * user owns; the user's own processes are trusted, as they can read the
 * camera anyway. A mapping of another size or of uncommitted pages is
 * refused before anything in it is read. One publisher per channel: the
 * publishing thread (the one that called vlx_Init) holds the channel's
 * mutex until its publishing ends, and a publisher whose process ended
 * leaves the channel to the next one, however process ids are reused. */

/* Channels 1 ... VLX_SHARE_CHANNEL_COUNT. */
#define VLX_SHARE_CHANNEL_COUNT 4

/* info[] of vlx_GetShareInfo, VLX_SHARE_INFO_COUNT values. */
#define VLX_SHARE_READERS 0   /* programs reading the channel now (each graph counts) */
#define VLX_SHARE_PUBLISHED 1 /* frames its publisher has published since it began */
#define VLX_SHARE_SKIPPED 2   /* frames the slowest of those readers skipped, since it began */
#define VLX_SHARE_PUBLISHER 3 /* the publishing process's id; 0 none (or its process ended) */
#define VLX_SHARE_INFO_COUNT 4

/* From now on the active slot's frames go to channel `channel` (1 ... 4);
 * 0 stops the slot's publishing (0, also when it published nothing). The
 * slot must be open in a render mode that has a Sample Grabber, in a frame
 * size the channel carries; it publishes on one channel at a time. One
 * publisher per channel in the user's session: a channel another slot or
 * another running process publishes on is refused. A format set on the
 * stopped slot later travels with its frames (readers keep the size they
 * connected with and scale); a size the channel does not carry sends
 * nothing until the next format, and vlx_GetShareInfo answers 2 meanwhile.
 * The slot's publishing ends with exactly these calls:
 *   vlx_ShareSlot(0);
 *   vlx_ShareSlot of another channel in range: it moves there, or, when
 *     that answers a negative code, publishes on none;
 *   vlx_Close and vlx_Reopen of the slot, and vlx_Exit.
 * Nothing else changes it: not vlx_ShareSlot with a channel out of range
 * (-2) nor of the channel it publishes on (0), not vlx_Open on the open
 * slot (-2), not vlx_Stop, vlx_Play or a format set on the slot.
 *   0  done
 *   -1  slot not open
 *   -2  `channel` out of range (0 ... 4)
 *   -3  no sample grabber (a render mode without one)
 *   -4  no connected RGB24 bottom-up video format (GetConnectedMediaType)
 *   -5  another slot or another process publishes on the channel
 *   -6  the channel's file mapping or mutex cannot be made or mapped
 *   -7  the grabber refused the callback (SetCallback failed)
 *   -8  memory ran out
 *   -9  the slot's frames are larger than a channel carries
 *   -10  an object of the channel is not the user's own (see "Trust" above) */
int32_t vlx_ShareSlot(int32_t channel);

/* What a host shows about channel `channel` (1 ... 4), whoever publishes on
 * it: VLX_SHARE_INFO_COUNT values in `info` (see above). Needs no slot and
 * no vlx_Init.
 *   0  read
 *   1  nobody has opened the channel yet (all values 0)
 *   2  read; the publisher's frames are of a size the channel does not
 *      carry (a format set on its slot since, or top-down samples):
 *      none goes out
 *   -1  NULL info
 *   -2  `channel` out of range
 *   -3  memory ran out */
int32_t vlx_GetShareInfo(int32_t channel, int64_t* info);

/* ---- Extensions: profiles ----------------------------------------------- */

/* Settings that stay with the camera. Cameras forget their controls when
 * they are plugged in again or the machine restarts; a profile keeps what a
 * host can set on a device (every control's value and mode, "camera
 * controls", and the capture format, "capture formats") in a text file the
 * host names, for one device, and puts it back on an open slot.
 *
 * The file is UTF-8 text of at most VLX_PROFILE_MAX_BYTES bytes, one setting
 * a line (CR LF or LF), each line at most VLX_PROFILE_MAX_LINE bytes:
 *     NAME = VALUE
 * A line whose first character other than spaces and TABs is # is a comment;
 * blank lines are skipped; spaces and TABs may stand around NAME, "=" and the
 * words of VALUE. Names, modes and "range" are read in any case.
 * vlx_SaveProfile writes (after
 * comment lines that explain the format):
 *     device = \\?\usb#vid_046d&pid_0825&mi_00#6&2c0c2a7&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global
 *     format = RGB24 640 480 30.00
 *     brightness = 128 manual range 0 255 1
 *     white_balance = 4600 auto range 2800 6500 10
 * device   the device's path (vlx_GetDevicePathList), compared byte for
 *          byte with the path of the slot's device
 * format   SUBTYPE WIDTH HEIGHT FRAME_RATE, as vlx_GetFormatList writes them
 *          (SUBTYPE read as vlx_SetDevSubtype reads it, a FourCC in its own
 *          case; FRAME_RATE a decimal number, 0 for none stated): the format
 *          in force (vlx_GetDevFormat)
 * a control, named as vlx_GetControlList names it (the header's
 *          VLX_CONTROL_ constant without its prefix, in lower case):
 *          VALUE MODE, MODE "manual" or "auto" (VLX_CONTROL_MANUAL,
 *          VLX_CONTROL_AUTO); then "range MINIMUM MAXIMUM STEP", the range
 *          the device stated when the profile was saved, which may be left
 *          out. A person may also write VALUE alone (manual) or "auto"
 *          alone. Numbers are decimal whole numbers of 32 bits.
 *
 * Applying (vlx_ApplyProfile and the automatic profile) reads the whole file
 * first, checks its device line, then applies the format line, then the
 * controls in the order of their lines, each as vlx_SetControl does (the
 * range read and checked first, Set, the value read back). A setting that
 * cannot be applied is skipped and the others go on. The slot's requested
 * format (vlx_SetDevWidth ... vlx_SetDevFormatChoice) is left as it was: the
 * format line is offered with choice VLX_FORMAT_CHOICE_EXACT and reported
 * under vlx_SetDevCapConfig's context strings, on a slot that is not running
 * and only when it differs from the format in force. The other calls are
 * reported under "vlx_ApplyProfile->..." names ("vlx_ApplyProfile->CreateFileW",
 * "vlx_ApplyProfile->CameraControl->Set"), those of vlx_SaveProfile under
 * "vlx_SaveProfile->..." names.
 *
 * What became of each line is told by the slot's profile report
 * (vlx_GetProfileReport): one line per setting line of the file and per
 * refused line, "LINE OUTCOME NAME" (fields separated by one space, CR LF
 * after each), LINE the line's number in the file (from 1), NAME the
 * setting's name in lower case, or "-" for a line without a known name
 * (nothing the file holds is copied into the report otherwise). OUTCOME:
 *     applied        set, and the device holds it (the format: in force)
 *     differs        the device took it but holds another value or mode
 *                    (vlx_SetControl's 1), or refused the format
 *     lacking        the device has no such control, or no capability
 *                    equals the format
 *     range_changed  the device states another range than the line's
 *     running        a format other than the one in force, on a running slot
 *     failed         a platform call failed (its status went to the error
 *                    recorder)
 *     off_range      the value lies outside the device's range or off its step
 *     bad_mode       a mode the control does not offer
 *     bad_value      a VALUE the name does not take (a word too many or
 *                    missing, a number beyond 32 bits, an unknown subtype)
 *     unknown_name   no setting has that name
 *     repeated       the name stood on an earlier line, which counts
 *     damaged        neither a comment, a blank line nor NAME = VALUE
 *     too_long       longer than VLX_PROFILE_MAX_LINE bytes
 *     not_utf8       not UTF-8 text (also control characters other than TAB)
 * Line 0 is the file as a whole, refused: "0 unreadable file",
 * "0 too_large file", "0 other_device file"; an automatic application has no
 * other way to tell it. The device line is in the report only when refused.
 */
#define VLX_PROFILE_MAX_BYTES 65536
#define VLX_PROFILE_MAX_LINE 1024
#define VLX_PROFILE_ANY_DEVICE 1 /* vlx_ApplyProfile: a profile of another device, or of none */

/* Writes the profile of the active slot's device to `file` (a UTF-8 path):
 * its path, the format in force and every control it has whose value can be
 * read. The text is written to a new file beside `file` ("<file>.<process
 * id>.tmp"), flushed, and renamed over `file` (MoveFileExW with
 * MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH): a file that cannot
 * be written leaves the old one whole, and the new one is removed. The
 * result is the number of settings written (the format and the controls).
 *   -1 not initialised
 *   -2 the active slot is not open, or holds no device filter
 *   -3 `file` is NULL, empty or not UTF-8 (also values 1 ... 65535)
 *   -4 the device's path is unknown (none was read when it was opened), or
 *      longer than a line may be
 *   -5 the new file cannot be created (CreateFileW)
 *   -6 writing it failed (WriteFile, FlushFileBuffers)
 *   -7 it cannot be renamed over `file` (MoveFileExW)
 *   -12 memory ran out */
int32_t vlx_SaveProfile(const char* file);

/* Applies the profile in `file` (a UTF-8 path) to the active slot's device
 * and replaces the slot's profile report. A profile whose device line names
 * another device, or that has none, is applied only with
 * VLX_PROFILE_ANY_DEVICE in `flags`. The result is the number of settings
 * applied (report lines "applied").
 *   -1 not initialised
 *   -2 the active slot is not open, or holds no device filter
 *   -3 `file` is NULL, empty or not UTF-8 (also values 1 ... 65535)
 *   -4 `flags` holds a bit other than VLX_PROFILE_ANY_DEVICE
 *   -5 the file cannot be opened or read (CreateFileW, GetFileSizeEx,
 *      ReadFile); nothing applied
 *   -6 the file is larger than VLX_PROFILE_MAX_BYTES (nothing read or
 *      applied)
 *   -7 the profile is of another device, or names none, and `flags` lacks
 *      VLX_PROFILE_ANY_DEVICE (nothing applied)
 *   -12 memory ran out */
int32_t vlx_ApplyProfile(const char* file, int32_t flags);

/* The active slot's automatic profile: from now on, each time vlx_Open (or
 * vlx_Reopen, which is how a device that was unplugged and came back gets a
 * graph again) has built the slot's graph, the profile in `file` is read
 * afresh and applied as vlx_ApplyProfile(file, 0) would apply it, before
 * vlx_Reopen runs the slot again. A profile of another device is not applied
 * ("0 other_device file" in the report). The application never changes what
 * vlx_Open or vlx_Reopen returns; its calls are reported within them, under
 * the names above, and it replaces the slot's report. The file need not
 * exist yet. Kept across vlx_Close, until vlx_SetAutoProfile(NULL) in the
 * slot or vlx_Exit.
 *   0 stored (NULL: the slot has no automatic profile any more)
 *   -1 not initialised
 *   -3 `file` is empty or not UTF-8 (also values 1 ... 65535)
 *   -12 memory ran out */
int32_t vlx_SetAutoProfile(const char* file);

/* The active slot's profile report (see above), appended to the
 * NUL-terminated text already in `buffer`: the report of the last
 * vlx_ApplyProfile or automatic application in the slot (empty before the
 * first, and after vlx_Exit), in the order of the lines.
 * vlx_GetProfileReport: the number of lines appended; it never writes more
 * bytes than the last vlx_GetProfileReportSize of the slot answered.
 * vlx_GetProfileReportSize: the bytes the report needs in an empty buffer,
 * terminator included (1 when it is empty).
 *   -1 not initialised (vlx_GetProfileReport also: a NULL buffer)
 *   -12 memory ran out */
int32_t vlx_GetProfileReport(char* buffer);
int32_t vlx_GetProfileReportSize(void);

/* ---- Extensions: stills --------------------------------------------------
 * A camera's still pictures: the still pin (PIN_CATEGORY_STILL) at a size of
 * its own, often the sensor's full size while the capture runs small; a
 * still on request (the software trigger); and the stills a device sends by
 * itself when the button on its case is pressed. Every still is taken once,
 * in the order the stills came, with its own header (the size and layout it
 * was taken with, whatever the capture does afterwards), its number, its
 * sample time, its arrival on the clock of frame events and where it came
 * from (VLX_STILL_FROM_*).
 *
 * A device without a still pin takes stills too: each trigger makes the
 * next capture frame a still, at the capture size (VLX_STILL_FROM_CAPTURE);
 * such a device has no button.
 *
 * The still branch. A slot that asks for stills (vlx_SetStillSize) before
 * vlx_Open gets them at vlx_Open: the still pin set to that size, into a
 * Sample Grabber of its own ("Still Grabber", RGB24 as the capture grabber)
 * and a Null Renderer ("Still Renderer"), and the device's external trigger
 * (the button) enabled where its still pin offers one (IAMVideoControl,
 * VideoControlFlag_ExternalTriggerEnable). These calls are reported under
 * vlx_Open's names ("vlx_Open->CaptureGraphBuilder2->RenderStream(Still)")
 * and vlx_Open's result does not show them: vlx_TriggerStill finds a branch
 * missing, and vlx_SetStillSize on the stopped slot builds it and tells why
 * it could not be built. vlx_SetStillSize on an open slot that is not
 * running builds the branch there. A running slot gets none: a running
 * filter connects no pin, and a still pin takes a size only while stopped
 * (stop, set, play). The still pin is looked for once per graph with
 * ICaptureGraphBuilder2::FindPin, unreported (a device without one simply
 * has none). vlx_StreamFilterList lists the two filters;
 * vlx_Reopen builds the branch again. A slot that never asks for stills
 * builds, returns and logs what it did before.
 *
 * Stills arrive through a Sample Grabber callback on a streaming thread
 * (the still grabber's, or for capture frames the capture grabber's, which
 * frame events, device health and sharing share), which numbers each still
 * (1 for the first of the slot's graph, one more for each still that
 * arrives), stamps it and copies it into the library. The library keeps the
 * stills not yet taken, three at most: a still that finds no room takes the
 * place of the oldest one waiting, and the numbers show the gap. A still of
 * the still pin that comes while a trigger is pending counts as the
 * trigger's, any other as the button's (a device marks neither). The
 * streaming thread reports nothing; the calls below report their own
 * platform calls. The stills not taken go with the slot at vlx_Close.
 */

/* info[] of vlx_GetStill, VLX_STILL_INFO_COUNT values. */
#define VLX_STILL_NUMBER 0      /* the still's number (above) */
#define VLX_STILL_SAMPLE_TIME 1 /* its sample start time, 100 ns of stream time (below 0
                                 * for stills made before the graph's start time); -1 none */
#define VLX_STILL_ARRIVAL 2     /* its arrival, 100 ns units of QueryPerformanceCounter */
#define VLX_STILL_SOURCE 3      /* VLX_STILL_FROM_* */
#define VLX_STILL_INFO_COUNT 4
/* Where a still came from: info[VLX_STILL_SOURCE], and the lParam of
 * vlx_SetStillNotify's message. */
#define VLX_STILL_FROM_TRIGGER 0 /* the still pin, on vlx_TriggerStill */
#define VLX_STILL_FROM_BUTTON 1  /* the still pin, by itself: the camera's button */
#define VLX_STILL_FROM_CAPTURE 2 /* a capture frame of a device without a still pin */

/* Every capability of the still pin of video device `device_index` (its
 * position in vlx_GetDeviceList), whether or not a slot holds the device,
 * in capability order: one line each, appended to the NUL-terminated text
 * already in `buffer`, fields separated by one space, each line ended by
 * CR LF:
 *     WIDTH HEIGHT SUBTYPE INDEX KIND
 * for instance "3840 2160 RGB24 0 VIDEOINFOHEADER": the size first, then
 * the fields of vlx_GetFormatList, read the same way. The still pin is the
 * device's first pin whose AMPROPERTY_PIN_CATEGORY is PIN_CATEGORY_STILL; a
 * device without one lists nothing (0, and its size query 1): its stills
 * are capture frames. vlx_SetStillSize takes the sizes of the lines whose
 * KIND is VIDEOINFOHEADER. The device is bound afresh and released; calls
 * are reported as for vlx_GetFormatList, under these functions' names.
 * vlx_GetStillFormatList returns the number of lines appended and never
 * writes more bytes (terminator included) than the last
 * vlx_GetStillFormatListSize of the same device index answered;
 * vlx_GetStillFormatListSize returns the bytes the list needs in an empty
 * buffer, terminator included.
 *   -1 not initialised (vlx_GetStillFormatList also: a NULL buffer, nothing
 *      enumerated)
 *   -2 device_index negative   -3 the system device enumerator cannot be
 *      created   -4 no video capture device is installed
 *   -5 device_index out of range   -6 the device cannot be bound to a filter
 *   -7 EnumPins failed   -9 the still pin has no IAMStreamConfig
 *   -10 GetNumberOfCapabilities failed
 *   -11 the capabilities block size is not 128 (not a video pin)
 *   -12 memory ran out */
int32_t vlx_GetStillFormatList(char* buffer, int32_t device_index);
int32_t vlx_GetStillFormatListSize(int32_t device_index);

/* The active slot takes stills of `width` x `height` from now on, a size of
 * its device's still pin (vlx_GetStillFormatList); 0 x 0 asks for none (the
 * next vlx_Open builds no still branch; a branch the slot has stays until
 * vlx_Close). Kept across vlx_Close, as the requested format is. On a closed
 * slot the size is stored for the next vlx_Open; on an open slot that is not
 * running the still branch is built now, or the one there takes the new size
 * (the device connects its still pin again), reported under this function's
 * names, for instance "vlx_SetStillSize->AMStreamConfig->SetFormat(Still)".
 * The size stays stored whatever the build answers.
 *   0 stored, and on an open slot in force
 *   1 the open slot's device has no still pin: nothing is built, and its
 *     stills are capture frames at the capture size
 *   -1 not initialised
 *   -2 a negative size, or one of width and height 0 but not both (nothing
 *      stored)
 *   -3 the slot is running (nothing stored: stop it first)
 *   -4 the still pin has no IAMStreamConfig, or its capabilities cannot be
 *      read (GetNumberOfCapabilities failed, a block size other than 128)
 *   -5 no still capability of that size with a VIDEOINFOHEADER
 *   -6 the device refused it (SetFormat failed); a branch there keeps its
 *      size
 *   -7 the still grabber cannot be made or added (create, ISampleGrabber,
 *      SetMediaType, AddFilter)
 *   -8 the still renderer cannot be made or added (create, AddFilter)
 *   -9 RenderStream(PIN_CATEGORY_STILL) failed
 *   -10 the still grabber refused the callback (SetCallback)
 *   -11 the still grabber's connection is no whole VIDEOINFOHEADER
 *      (GetConnectedMediaType)
 *   -12 memory ran out
 * From -7 on, the filters the build added leave the graph again. */
int32_t vlx_SetStillSize(int32_t width, int32_t height);

/* A still on request from the active slot's running device: the still pin's
 * software trigger (IAMVideoControl::GetMode, then SetMode with
 * VideoControlFlag_Trigger added, so that the external trigger stays as it
 * is), or on a device without a still pin the next capture frame. The still
 * arrives afterwards (vlx_WaitStill); each trigger gives one.
 *   0 fired
 *   -1 slot not open   -2 the slot is not running
 *   -3 the device has a still pin and the slot no still branch
 *      (vlx_SetStillSize before vlx_Open, or on the stopped slot)
 *   -4 no trigger: the device has no IAMVideoControl, or GetCaps of its
 *      still pin lacks VideoControlFlag_Trigger
 *   -5 GetMode or SetMode failed (vlx_GetLastError has the device's answer);
 *      no still comes
 *   -6 a device without a still pin in a render mode without a sample grabber
 *   -7 the capture grabber's connection is no whole VIDEOINFOHEADER
 *   -8 the capture grabber refused the callback (SetCallback)
 *   -9 memory ran out */
int32_t vlx_TriggerStill(void);

/* Waits until the active slot holds a still not yet taken. `timeout_ms` 0
 * only looks; a negative one waits without end. While it waits, the calling
 * thread's window messages are dispatched, as vlx_WaitFrame does; WM_QUIT
 * ends the wait and is posted again for the host. A stopped slot holding no
 * still is refused at once. Waiting needs no trigger: a button still ends
 * it too.
 *   0 a still is there   1 the time-out ended first
 *   -1 slot not open
 *   -2 the slot is not running and holds no still
 *   -4 WM_QUIT arrived while waiting (posted again)
 *   -5 the slot was closed while waiting (by a window procedure)
 *   -6 the wait failed (MsgWaitForMultipleObjectsEx)
 *   -9 memory ran out */
int32_t vlx_WaitStill(int32_t timeout_ms);

/* Takes the oldest still the active slot holds, as vlx_GetFrame takes a
 * frame: `*size` holds the capacity on entry and the bytes copied on return,
 * `header` receives the still's own 44-byte header (its BITMAPINFOHEADER and
 * one zero RGBQUAD; the bytes are a frame's layout: 24-bit blue-green-red
 * rows padded to 4 bytes, bottom-up when biHeight is positive), `info`
 * VLX_STILL_INFO_COUNT values (NULL: none wanted). With NULL `pixels`: its
 * byte count in `*size` and its header, nothing taken. A still too large
 * for `*size` leaves its byte count there and is not taken.
 *   0 taken   -1 slot not open
 *   -4 `*size` too small   -5 NULL size or header
 *   -7 no still waiting
 *   -9 memory ran out */
int32_t vlx_GetStill(void* pixels, int32_t* size, void* header, int64_t* info);

/* Takes the oldest still the active slot holds and writes it as
 * vlx_SaveImage writes the newest frame: through WIC into `file_name`
 * (UTF-16), in `format` 0 BMP, 1 JPEG, 2 PNG, 3 GIF, 4 TIFF, 5 JPEG XR or
 * 6 HEIF at `quality`, scaled to `width` x `height` (0 or less: the still's
 * own), upright, from the still's own bytes. A still that cannot be written
 * is not taken: it waits for the next vlx_GetStill or vlx_SaveStill.
 *   0 written   -1 slot not open
 *   -7 no still waiting   -9 memory ran out
 *   -10 ... -33 the step of vlx_SaveImage's same code failed (format not
 *       0-6, no encoder for it, a file that cannot be opened ...); a file it
 *       began and could not finish is removed */
int32_t vlx_SaveStill(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height);

/* Posts `message` to `window` (PostMessage) for every still of the active
 * slot as it arrives: wParam the slot, lParam where it came from
 * (VLX_STILL_FROM_*), so that a host learns of a press of the button. One
 * message per still: stills come seldom, and none is left untold. A NULL
 * `window` stops the messages (0, in any slot state); naming another window
 * or message replaces the old one. The messages end when the slot is
 * closed.
 *   0 done   -1 slot not open
 *   -2 `window` is not a window
 *   -9 memory ran out */
int32_t vlx_SetStillNotify(HWND window, uint32_t message);

/* ---- Extensions: sound -------------------------------------------------
 * A microphone recorded with the picture, in sync, and its PCM handed to
 * the host in blocks with their times. Nothing here changes what any other
 * function answers or logs until the host chooses an audio device for a
 * slot (vlx_SetAudioDevice, vlx_SetAudioDevicePath).
 *
 * With an audio device chosen, vlx_Open builds an audio branch after the
 * renderer branch of `render_mode`: the device (its position in the audio
 * list, vlx_GetDeviceList kind 1, or its path, vlx_GetDevicePathList kind
 * 1) as "Audio Capture", its requested format, buffers of about 40 ms
 * (IAMBufferNegotiation, so that the first block does not lag the first
 * frame by a driver's default half second), an "Audio Sample Grabber" that
 * hands every block to the library, and then:
 *   modes 300, 301  the capture stream into the same AVI multiplexer as the
 *                   picture: the file holds a video stream and an 'auds'
 *                   stream, interleaved, the audio as the master stream
 *                   (IConfigAviMux::SetMasterStream: the video's rate in
 *                   the file follows the audio clock) and capture
 *                   interleaving (IConfigInterleaving::put_Mode
 *                   INTERLEAVE_CAPTURE)
 *   other modes     an "Audio Null Renderer": the blocks go to the host only
 * and, in every mode, the device's clock as the graph's reference clock
 * when the device offers one (IMediaFilter::SetSyncSource): the camera's
 * frames are then stamped on the clock the samples are taken on. The sync
 * calls are reported ("vlx_Open->MediaFilter->SetSyncSource(AudioClock)",
 * "vlx_Open->ConfigAviMux->SetMasterStream(Audio)",
 * "vlx_Open->ConfigInterleaving->put_Mode(Capture)",
 * "vlx_Open->AMBufferNegotiation->SuggestAllocatorProperties") and never
 * fail the open. Finally the device is started alone and stopped again
 * ("vlx_Open->AudioCapture->Pause", "->Stop"), so that a device another
 * program holds is refused before the graph runs.
 * The codes the audio branch adds (the slot stays closed and nothing of
 * the graph remains, as after any failed step):
 *   vlx_Open
 *   -120 no audio device at that index or with that path (none installed)
 *   -121 the device cannot be bound or added to the graph
 *   -122 the requested format is not offered (none when the capture pin has
 *        no IAMStreamConfig)
 *   -123 the pin refused the requested format (SetFormat)
 *   -124 the audio Sample Grabber or its callback
 *   -125 the capture pin connects to nothing (a device that refuses every
 *        format)
 *   -126 another program holds the device (Pause answered one of the
 *        results vlx_GetDeviceState counts as "in use")
 *   -127 the device failed to start for another reason
 * The device stays chosen for the slot's later vlx_Open calls (vlx_Reopen
 * included) until the host chooses another or none.
 * An audio device lost while the slot runs (EC_DEVICE_LOST from its filter)
 * leaves the picture going: vlx_GetDeviceState answers
 * VLX_DEVICE_AUDIO_LOST while the video device delivers, and
 * vlx_SetDeviceNotify posts it; vlx_Close then finishes the file with both
 * streams as far as each came. */

/* Blocks: every block the audio device sends, once, oldest first. The
 * library holds at most VLX_AUDIO_QUEUE_BLOCKS not yet taken; when the host
 * falls that far behind, the oldest goes and counts as missed, so memory
 * stays bounded and the recording never waits for the host. */
#define VLX_AUDIO_QUEUE_BLOCKS 64
/* info[] of vlx_GetAudio, VLX_AUDIO_INFO_COUNT values. */
#define VLX_AUDIO_NUMBER 0      /* the block's number: 1 for the first, one more for each that arrived */
#define VLX_AUDIO_SAMPLE_TIME 1 /* its start time, 100 ns of stream time; -1 none */
#define VLX_AUDIO_ARRIVAL 2     /* its arrival, 100 ns units of QueryPerformanceCounter (the frames' clock) */
#define VLX_AUDIO_MISSED 3      /* blocks that arrived since the previous take and were never taken */
#define VLX_AUDIO_PEAK 4        /* channel c's peak at info[VLX_AUDIO_PEAK + 2 * c] */
#define VLX_AUDIO_RMS 5         /* channel c's RMS at info[VLX_AUDIO_RMS + 2 * c] */
#define VLX_AUDIO_LEVEL_CHANNELS 8 /* channels measured; a channel the block lacks reads 0 */
#define VLX_AUDIO_FULL_SCALE 10000 /* levels are in ten-thousandths of full scale */
#define VLX_AUDIO_INFO_COUNT 20 /* 4 + 2 * VLX_AUDIO_LEVEL_CHANNELS */
/* vlx_GetDeviceState and vlx_SetDeviceNotify: the video device delivers,
 * the slot's audio device was reported gone. */
#define VLX_DEVICE_AUDIO_LOST 7

/* The active slot's audio device for its next vlx_Open: its position in the
 * audio device list, -1 none (the default). An index that names no device
 * is refused by the open (-120).
 *   0 done   -1 not initialised   -2 below -1 */
int32_t vlx_SetAudioDevice(int32_t audio_index);
/* The same by path (UTF-8, as vlx_GetDevicePathList kind 1 lists it,
 * compared exactly); NULL or "" is none.
 *   0 done   -1 not initialised (also a value 1 ... 65535)
 *   -2 not valid UTF-8 */
int32_t vlx_SetAudioDevicePath(const char* path);

/* The formats of audio device `audio_index`'s capture pin (IAMStreamConfig),
 * whether or not a slot holds it: one line per capability whose type is
 * WAVEFORMATEX, "INDEX RATE CHANNELS BITS" (capability index, samples a
 * second, channels, bits per sample), CR LF after each, appended to the
 * NUL-terminated text in `buffer`; the size query gives the bytes the list
 * needs in an empty buffer (and, as for every list, the list never writes
 * more than its last answer for the same device).
 *   >= 0 lines written (size query: bytes)
 *   -1 not initialised (the list also: NULL buffer)   -2 index negative
 *   -3 no system device enumerator   -4 no audio device installed
 *   -5 index past the list   -6 the device cannot be bound
 *   -7 EnumPins failed   -8 no capture pin   -9 no IAMStreamConfig */
int32_t vlx_GetAudioFormatList(char* buffer, int32_t audio_index);
int32_t vlx_GetAudioFormatListSize(int32_t audio_index);

/* The audio format for the active slot: `rate` samples a second, `channels`,
 * `bits` per sample, the capability equal to it, or with
 * vlx_SetDevFormatChoice(VLX_FORMAT_CHOICE_NEAREST) the nearest (rate
 * first, then channels, then bits). All three 0: the device's own format.
 * Before vlx_Open it is kept for the open, which refuses a format not
 * offered (-122). On an open, stopped slot with an audio device it is set
 * on the capture pin at once (the pin is connected again), or refused and
 * the device's format kept.
 *   0 done (kept, or set)   -1 not initialised   -2 a value negative
 *   -3 the open slot's device offers no such format   -4 the slot runs
 *   -5 the pin refused it (SetFormat) */
int32_t vlx_SetAudioFormat(int32_t rate, int32_t channels, int32_t bits);
/* The active slot's audio format in force (the capture pin's connection).
 *   0 done   -1 not initialised or slot not open   -2 no audio device in the slot
 *   -8 a NULL argument */
int32_t vlx_GetAudioFormat(int32_t* rate, int32_t* channels, int32_t* bits);

/* Waits until the active slot holds a block not yet taken, dispatching the
 * thread's window messages meanwhile (as vlx_WaitFrame does). `timeout_ms`
 * 0 only looks; a negative one waits without end.
 *   0 a block is there   1 the time-out ended first
 *   -1 slot not open   -2 no audio device in the slot
 *   -3 the slot is not running and holds no block
 *   -4 WM_QUIT arrived (posted again)   -5 the slot was closed meanwhile
 *   -6 the wait failed */
int32_t vlx_WaitAudio(int32_t timeout_ms);
/* Takes the oldest block: its PCM bytes (the format of vlx_GetAudioFormat,
 * whole sample frames) into `pcm`, whose capacity `*size` holds on entry;
 * `*size` receives the bytes copied. `info` (NULL: none wanted) receives
 * VLX_AUDIO_INFO_COUNT values (above). With NULL `pcm`: the block's size in
 * `*size`, nothing taken.
 *   0 taken (or sized)   -1 slot not open   -2 no audio device in the slot
 *   -7 `*size` too small (the block's size is in `*size`, nothing taken)
 *   -8 NULL size   -9 no block waits */
int32_t vlx_GetAudio(void* pcm, int32_t* size, int64_t* info);
/* Posts `message` to `window` for every block that arrives (wParam the
 * slot, lParam the block's number, low 32 bits); NULL stops them. Until the
 * slot is closed.
 *   0 done   -1 slot not open   -2 no audio device in the slot
 *   -10 `window` is not a window */
int32_t vlx_SetAudioNotify(HWND window, uint32_t message);

#ifdef __cplusplus
}
#endif

#endif /* VIDLOX_H */
