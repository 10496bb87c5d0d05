'use strict';
// VidloxError: a return code of the library with the header's own words for
// it (lib/header.json is read from include/vidlox.h's comments when the
// package is laid out), and the checks of arguments that run before anything
// is asked of the library.
const header = require('./header.json');

const C = header.constants;

// Names in JavaScript's terms of the header's constant groups, in the order
// of their values: VLX_DEVICE_IN_USE
// is the state 'in_use', VLX_CONTROL_WHITE_BALANCE the control 'white_balance'.
function group(prefix, except = []) {
  const byName = {};
  const members = Object.entries(C).filter(([name]) => name.startsWith(prefix) && !except.includes(name));
  for (const [name, value] of members.sort((a, b) => a[1] - b[1])) byName[name.slice(prefix.length).toLowerCase()] = value;
  return byName;
}

const DEVICE_STATES = group('VLX_DEVICE_');
const CONTROLS = group('VLX_CONTROL_', ['VLX_CONTROL_AUTO', 'VLX_CONTROL_MANUAL']);
const FORMAT_CHOICES = group('VLX_FORMAT_CHOICE_');
const STILL_SOURCES = group('VLX_STILL_FROM_');

function nameOf(byName, value) {
  return Object.keys(byName).find((name) => byName[name] === value);
}

// What the header says of `code` as `functionName`'s result. A device state
// (vlx_GetDeviceState's 0 and above) is told by its constant's comment.
function meaningOf(functionName, code) {
  const table = header.codes[functionName] || {};
  if (table[String(code)]) return table[String(code)];
  if (functionName === 'vlx_GetDeviceState' && code >= 0) {
    const state = nameOf(DEVICE_STATES, code);
    if (state) return `${state}: ${header.notes['VLX_DEVICE_' + state.toUpperCase()]}`;
  }
  return undefined;
}

class VidloxError extends Error {
  // `details`: meaning (where the header documents none), state (a device
  // state the error reports), hresult (the platform's status code), context
  // (what was asked: a device, a file).
  constructor(functionName, code, details = {}) {
    const meaning = meaningOf(functionName, code) || details.meaning || 'undocumented code';
    const context = details.context ? ` (${details.context})` : '';
    super(`${functionName} answered ${code}: ${meaning}${context}`);
    this.name = 'VidloxError';
    this.code = code;
    this.functionName = functionName;
    this.meaning = meaning;
    if (details.state !== undefined) this.state = details.state;
    if (details.hresult !== undefined) this.hresult = details.hresult;
  }
}

// An error the library thread sent over (plain data) as a VidloxError again.
function fromWire(wire) {
  if (wire.functionName) return new VidloxError(wire.functionName, wire.code, wire);
  const error = new Error(wire.message);
  if (wire.name) error.name = wire.name;
  return error;
}

function argumentError(code, message) {
  const error = new TypeError(message);
  error.code = code;
  return error;
}

// A whole number from `min` to 2147483647; `undefined` gives `fallback`.
function wholeNumber(value, what, min = 0, fallback = 0) {
  if (value === undefined) return fallback;
  if (typeof value !== 'number' || Number.isNaN(value)) {
    throw argumentError('ERR_INVALID_ARG_TYPE', `${what} must be a number, not ${describe(value)}`);
  }
  if (!Number.isInteger(value) || value < min || value > 0x7fffffff) {
    throw argumentError('ERR_INVALID_ARG_VALUE', `${what} must be a whole number from ${min} to 2147483647, not ${value}`);
  }
  return value;
}

function describe(value) {
  if (value === null) return 'null';
  if (typeof value === 'string') return `the string "${value}"`;
  return `${typeof value} ${String(value)}`;
}

module.exports = {
  VidloxError, fromWire, meaningOf, argumentError, wholeNumber, describe, nameOf,
  DEVICE_STATES, CONTROLS, FORMAT_CHOICES, STILL_SOURCES, constants: C,
};
