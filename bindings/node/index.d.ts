// Type declarations of the npm package vidlox. The unions of names below are
// the header's constants (include/vidlox.h) in JavaScript's terms; a test
// reads both files and fails when they part.
/// <reference types="node" />
import { EventEmitter } from 'events';

/** A camera control: VLX_CONTROL_* of the header, in lower case. */
export type ControlName =
  | 'brightness' | 'contrast' | 'hue' | 'saturation' | 'sharpness' | 'gamma' | 'color_enable'
  | 'white_balance' | 'backlight_compensation' | 'gain' | 'pan' | 'tilt' | 'roll' | 'zoom'
  | 'exposure' | 'iris' | 'focus';

/** A device's health: VLX_DEVICE_* of the header, in lower case. */
export type DeviceState = 'delivering' | 'waiting' | 'stalled' | 'lost' | 'error' | 'in_use' | 'not_running' | 'audio_lost';

/** How a requested format is chosen: VLX_FORMAT_CHOICE_* of the header, in lower case. */
export type FormatChoice = 'all' | 'exact' | 'nearest';

/** A device: an index in listDevices(), its path, its friendly name, or "NAME#N" (the N-th device of that name, from 0). */
export type Device = number | string;

export interface DeviceInfo {
  index: number;
  name: string;
  /** Stays the device's while it is plugged in where it is; empty when it cannot be read. */
  path: string;
}

export interface FormatInfo {
  /** Capability index of the capture pin. */
  index: number;
  /** "RGB24", "YUY2", "MJPG", ... as vlx_GetFormatList writes it. */
  subtype: string;
  width: number;
  height: number;
  minFps: number;
  maxFps: number;
  kind: 'VIDEOINFOHEADER' | 'VIDEOINFOHEADER2' | 'MPEG2VIDEOINFO' | 'OTHER';
}

export interface OpenOptions {
  /** 0 or absent: any. */
  width?: number;
  height?: number;
  /** Absent: the format's own rate. */
  fps?: number;
  /** As listFormats() names it; absent: any. */
  subtype?: string;
  /** 'exact' when a width, height, fps or subtype is given, else 'all'. */
  choice?: FormatChoice;
  /** A microphone (its index, name or path in the audio lists): its blocks come through audio(). */
  audio?: number | string;
  /** The microphone's format; absent: its own. */
  audioFormat?: AudioFormat;
  /** Stills from the still pin, its branch built with the graph: true at its largest size, or this size (see still()). */
  still?: boolean | Size;
}

export interface Size {
  width: number;
  height: number;
}

/** Where a still came from: VLX_STILL_FROM_* of the header, in lower case. */
export type StillSource = 'trigger' | 'button' | 'capture';

export interface Still {
  /** 24-bit pixels (blue, green, red), rows of `stride` bytes, at the still's own size. */
  data: Buffer;
  width: number;
  height: number;
  stride: number;
  /** True: the first row in `data` is the picture's bottom row. */
  bottomUp: boolean;
  subtype: 'RGB24';
  /** 1 for the camera's first still, one more for every still that arrived. */
  number: number;
  /** Milliseconds of stream time; null when the device stamps none. */
  sampleTime: number | null;
  /** Milliseconds on the performance counter's clock, as frames' arrival. */
  arrival: number;
  /** 'capture': the next capture frame of a device without a still pin. */
  source: StillSource;
}

export interface StillOptions {
  /** A size of the device's still pin; absent: the size the camera has, else the largest. Another size than the camera has stops and runs it again. */
  size?: Size;
}

export interface AudioFormat {
  rate: number;
  channels: number;
  bits: number;
}

export interface AudioBlock extends AudioFormat {
  /** PCM, whole sample frames, channels interleaved. */
  data: Buffer;
  /** 1 for the first block, one more for each that arrived. */
  number: number;
  /** Stream time of its first sample, ms; null without one. */
  sampleTime: number | null;
  /** Performance-counter time it reached the library, ms (the frames' clock). */
  arrival: number;
  /** Blocks the library let go since the previous one (at most 64 are held). */
  missed: number;
  /** Per channel, 0 ... 1 of full scale. */
  levels: { peak: number; rms: number }[];
}

export interface RecordOptions {
  /** A microphone (index, name or path): its sound in the same file, in sync. */
  audio?: number | string;
  audioFormat?: AudioFormat;
  /** A video compressor's name (listCodecs()); absent: uncompressed. */
  codec?: string;
  /** 5 when absent. */
  seconds?: number;
}

export interface Recording {
  file: string;
  seconds: number;
  device: string;
  /** The sound's format; null without a microphone. */
  audio: AudioFormat | null;
  /** The device state at the end (for instance 'audio_lost'). */
  state: DeviceState | null;
}

export interface Format {
  subtype: string;
  width: number;
  height: number;
  fps: number;
}

export interface Frame {
  /** 24-bit pixels (blue, green, red), rows of `stride` bytes. */
  data: Buffer;
  width: number;
  height: number;
  stride: number;
  /** True: the first row in `data` is the picture's bottom row. */
  bottomUp: boolean;
  subtype: 'RGB24';
  /** 1 for the first frame tracked, one more for every frame that arrived, taken or not. */
  number: number;
  /** Milliseconds of stream time; null when the device stamps none. */
  sampleTime: number | null;
  /** Milliseconds on the performance counter's clock. */
  arrival: number;
  /** Frames that arrived since the previous frame handed out, never handed out. */
  missed: number;
  /** The device's own count of frames it dropped; null when it keeps none. */
  dropped: number | null;
  /** Gives the frame's buffer back to be filled again: data then reads as empty (a Buffer of it kept elsewhere shows a later frame); a frame goes back by itself once neither its data nor any view of it is left. */
  release(): void;
}

export interface FramesOptions {
  /** Each frame is released when the next frame is asked for. */
  recycle?: boolean;
}

export interface Control {
  id: number;
  name: ControlName;
  min: number;
  max: number;
  step: number;
  default: number;
  /** The modes it offers. */
  auto: boolean;
  manual: boolean;
  value: number;
  mode: 'auto' | 'manual' | null;
}

export interface ControlSetting {
  value: number;
  mode: 'auto' | 'manual' | null;
  /** False when the device holds something else than was asked (a coarser step). */
  asked: boolean;
}

/** What became of a line of a profile file (include/vidlox.h, "Extensions: profiles"). */
export type ProfileOutcome = 'applied' | 'differs' | 'lacking' | 'range_changed' | 'running' | 'failed' |
  'off_range' | 'bad_mode' | 'bad_value' | 'unknown_name' | 'repeated' | 'damaged' | 'too_long' | 'not_utf8';

export interface ProfileLine {
  /** The line's number in the file, from 1. */
  line: number;
  outcome: ProfileOutcome;
  /** The setting's name ('format', a control's), or null for a line without a known one. */
  name: string | null;
}

export interface ProfileSaved {
  /** The full path written. */
  file: string;
  /** The settings written: the format and the controls. */
  settings: number;
}

export interface ProfileApplied {
  /** The settings applied. */
  applied: number;
  /** Every setting line and every refused line, in the file's order. */
  report: ProfileLine[];
}

export interface ProfileOptions {
  /** Also a profile saved for another device (VLX_PROFILE_ANY_DEVICE). */
  anyDevice?: boolean;
}

export interface SnapshotOptions {
  /** 0-100 for JPEG, TIFF, JPEG XR and HEIF; absent: the encoder's default. */
  quality?: number;
}

export interface StateChange {
  state: DeviceState;
  previous: DeviceState | undefined;
  /** The platform's status code, for 'error' and 'in_use'. */
  hresult?: number;
}

export class VidloxError extends Error {
  readonly name: 'VidloxError';
  /** What the function answered. */
  readonly code: number;
  /** The library function that answered it, e.g. "vlx_Open". */
  readonly functionName: string;
  /** The header's words for the code. */
  readonly meaning: string;
  /** The device state that ended frames(), when it was one. */
  readonly state?: DeviceState;
  readonly hresult?: number;
}

export class Camera extends EventEmitter {
  readonly slot: number;
  readonly index: number;
  readonly name: string;
  readonly path: string;
  /** The format the camera delivers, as it was opened. */
  format(): Format;
  /** The device's state as the library thread last read it (every 100 ms), or 'closed'. */
  state(): DeviceState | 'closed';
  /** Every frame once, in order; `break` stops them. A lost, failed or busy device ends them with a VidloxError. */
  frames(options?: FramesOptions): AsyncIterableIterator<Frame>;
  /** A still on request (the software trigger, or the next capture frame of a device without a still pin). */
  still(options?: StillOptions): Promise<Still>;
  /** The microphone's format (open's `audio`), or null. */
  readonly audioFormat: AudioFormat | null;
  /** Every block of the microphone's sound once, oldest first; `break` stops them. */
  audio(): AsyncIterableIterator<AudioBlock>;
  /** Writes the newest frame; the format follows the extension (.bmp .jpg .png .gif .tif .jxr .heic). Answers the full path. */
  snapshot(file: string, options?: SnapshotOptions): Promise<string>;
  controls(): Promise<Control[]>;
  setControl(name: ControlName, value: number | 'auto'): Promise<ControlSetting>;
  /** Writes the camera's controls and format to a profile file (UTF-8 text, one setting a line). */
  saveProfile(file: string): Promise<ProfileSaved>;
  /** Applies a profile file: what cannot be applied is skipped and reported by line; another device's is refused (-7) unless `anyDevice`. */
  applyProfile(file: string, options?: ProfileOptions): Promise<ProfileApplied>;
  /** Stops and closes; a second call answers the first one's promise. */
  close(): Promise<void>;

  on(event: 'lost' | 'stalled' | 'back' | 'failed' | 'state', listener: (change: StateChange) => void): this;
  once(event: 'lost' | 'stalled' | 'back' | 'failed' | 'state', listener: (change: StateChange) => void): this;
  /** A still the camera sent when its button was pressed (a camera opened with `still`, or after still()). */
  on(event: 'button', listener: (still: Still) => void): this;
  once(event: 'button', listener: (still: Still) => void): this;
}

export function listDevices(): Promise<DeviceInfo[]>;
export function listFormats(device: Device): Promise<FormatInfo[]>;
export function listCodecs(): Promise<string[]>;
export function open(device: Device, options?: OpenOptions): Promise<Camera>;
/** Records into an AVI file (render mode 300) and answers when the file is complete. */
export function record(device: Device, file: string, options?: RecordOptions): Promise<Recording>;
/** Calls of each library export made in this process so far. */
export function libraryCalls(): Promise<Record<string, number>>;

export const controlNames: ControlName[];
export const deviceStates: DeviceState[];
export const formatChoices: FormatChoice[];
export const stillSources: StillSource[];
/** VLX_VERSION of the header the package was made with (213: 2.1.3). */
export const headerVersion: number;
