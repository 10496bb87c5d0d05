'use strict';
// The library's exports as this package calls them, declared with the
// header's own prototypes (include/vidlox.h), word for word: a test compares
// each line below with the header, so a change there cannot pass unnoticed.
// Loaded on the library thread only (lib/worker.js): every capture call of
// the header must come from the thread that called vlx_Init.
const koffi = require('koffi');

const PROTOTYPES = [
  'int32_t vlx_Init(void)',
  'int32_t vlx_Exit(void)',
  'int32_t vlx_SetActiveSel(int32_t slot)',
  'int32_t vlx_GetRef(void)',
  'int32_t vlx_Version(void)',
  'int32_t vlx_GetLastError(void)',
  'int32_t vlx_GetDeviceList(char* buffer, int32_t kind)',
  'int32_t vlx_GetDeviceListSize(int32_t kind)',
  'int32_t vlx_GetCodecList(char* buffer, int32_t kind)',
  'int32_t vlx_GetCodecListSize(int32_t kind)',
  'int32_t vlx_Open(int32_t device_index, int32_t render_mode, int32_t reserved, intptr_t mode_param1, intptr_t mode_param2)',
  'int32_t vlx_Play2(void)',
  'int32_t vlx_Stop(void)',
  'int32_t vlx_Close(void)',
  'int32_t vlx_GetImageMemSize(int32_t mode)',
  'int32_t vlx_SaveImage(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height)',
  'int32_t vlx_SetDevWidth(int32_t width)',
  'int32_t vlx_SetDevHeight(int32_t height)',
  'int32_t vlx_SetDevFrameRate(double frame_rate)',
  'int32_t vlx_GetControl(int32_t control, int32_t* value, int32_t* mode)',
  'int32_t vlx_SetControl(int32_t control, int32_t value, int32_t mode)',
  'int32_t vlx_GetControlList(char* buffer)',
  'int32_t vlx_GetControlListSize(void)',
  'int32_t vlx_GetFormatList(char* buffer, int32_t device_index)',
  'int32_t vlx_GetFormatListSize(int32_t device_index)',
  'int32_t vlx_SetDevSubtype(const char* subtype)',
  'int32_t vlx_SetDevFormatChoice(int32_t choice)',
  'int32_t vlx_GetDevFormat(char* subtype, int32_t* width, int32_t* height, double* frame_rate)',
  'int32_t vlx_WaitFrame(int32_t timeout_ms)',
  'int32_t vlx_GetFrame(void* pixels, int32_t* size, void* header, int64_t* info)',
  'int32_t vlx_GetDevicePathList(char* buffer, int32_t kind)',
  'int32_t vlx_GetDevicePathListSize(int32_t kind)',
  'int32_t vlx_FindDevice(const char* text, int32_t occurrence)',
  'int32_t vlx_GetDeviceState(void)',
  'int32_t vlx_SaveProfile(const char* file)',
  'int32_t vlx_ApplyProfile(const char* file, int32_t flags)',
  'int32_t vlx_GetProfileReport(char* buffer)',
  'int32_t vlx_GetProfileReportSize(void)',
  'int32_t vlx_GetStillFormatList(char* buffer, int32_t device_index)',
  'int32_t vlx_GetStillFormatListSize(int32_t device_index)',
  'int32_t vlx_SetStillSize(int32_t width, int32_t height)',
  'int32_t vlx_TriggerStill(void)',
  'int32_t vlx_WaitStill(int32_t timeout_ms)',
  'int32_t vlx_GetStill(void* pixels, int32_t* size, void* header, int64_t* info)',
  'int32_t vlx_SetAudioDevice(int32_t audio_index)',
  'int32_t vlx_SetAudioDevicePath(const char* path)',
  'int32_t vlx_SetAudioFormat(int32_t rate, int32_t channels, int32_t bits)',
  'int32_t vlx_GetAudioFormat(int32_t* rate, int32_t* channels, int32_t* bits)',
  'int32_t vlx_WaitAudio(int32_t timeout_ms)',
  'int32_t vlx_GetAudio(void* pcm, int32_t* size, int64_t* info)',
];

// Loads the DLL at `dllPath` and answers {vlx_Name: function}. Every call is
// counted in `calls` (name -> count), which libraryCalls() reports.
function load(dllPath, calls) {
  const library = koffi.load(dllPath);
  const functions = {};
  for (const prototype of PROTOTYPES) {
    const fn = library.func(prototype);
    const name = /\b(vlx_\w+)\(/.exec(prototype)[1];
    functions[name] = (...args) => {
      calls[name] = (calls[name] || 0) + 1;
      return fn(...args);
    };
  }
  return functions;
}

module.exports = { PROTOTYPES, load };
