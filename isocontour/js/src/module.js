// The WebAssembly module: started once by the entry point (index.js in browsers, node.js in
// Node), then its buffers, calls and result table for the flat and d3 calls. Values go into the
// module's memory once per call; results are read from it until the next call.
import { IsocontourError } from './errors.js';

let wasm = null;
let bytes = null; // the memory's buffer the views below were made on
let heap8, heapF32, heapF64, heapU32;

// A module of one SIMD instruction: WebAssembly.validate tells whether this engine has SIMD.
const simdProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1,
  0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);

/** True when the engine runs WebAssembly SIMD (the faster of the package's two modules). */
export const simd = WebAssembly.validate(simdProbe);

/** What the module imports: nothing it needs at run time but a way to stop. */
export const imports = {
  env: { emscripten_notify_memory_growth() {} },
  wasi_snapshot_preview1: {
    proc_exit(code) { throw new IsocontourError(`isocontour's module stopped (code ${code})`); },
  },
};

/** Starts the instantiated module; the entry points call it once. */
export function start(instance) {
  wasm = instance.exports;
  wasm._initialize();
}

function views() {
  if (bytes !== wasm.memory.buffer) {
    bytes = wasm.memory.buffer;
    heap8 = new Uint8Array(bytes);
    heapF32 = new Float32Array(bytes);
    heapF64 = new Float64Array(bytes);
    heapU32 = new Uint32Array(bytes);
  }
}

/** Slot's buffer (0 values, 1 x, 2 y, 3 mask, 4 levels) grown to bytes; its address. */
function buffer(slot, bytesNeeded) {
  const at = wasm.ic_buffer(slot, bytesNeeded);
  if (!at) throw new IsocontourError(`out of memory for ${bytesNeeded} bytes`);
  views();
  return at;
}

/**
 * Copies values into slot as float32 (when f32) or float64, n at least; entries past
 * values.length are NaN. Arrays of anything but float32 or float64 are read as numbers, with
 * null and undefined as NaN.
 */
export function put(slot, values, n, f32) {
  const length = values.length;
  const total = Math.max(n, length);
  const at = buffer(slot, total * (f32 ? 4 : 8));
  const heap = f32 ? heapF32 : heapF64;
  const first = at / (f32 ? 4 : 8);
  if (ArrayBuffer.isView(values)) {
    heap.set(values, first);
  } else {
    for (let k = 0; k < length; ++k) {
      const v = values[k];
      heap[first + k] = v == null ? NaN : +v;
    }
  }
  if (length < total) heap.fill(NaN, first + length, first + total);
}

/** Copies a mask (anything truthy masks its node) into slot 3 as bytes. */
export function putMask(mask, n) {
  if (mask.length !== n) throw new IsocontourError(`the mask holds ${mask.length} entries, not width * height = ${n}`);
  const at = buffer(3, n);
  if (mask instanceof Uint8Array) heap8.set(mask, at);
  else for (let k = 0; k < n; ++k) heap8[at + k] = mask[k] ? 1 : 0;
}

/** Calls the module's function name; throws IsocontourError with its message on a refusal. */
export function call(name, ...args) {
  const status = wasm[name](...args);
  views();
  if (status !== 0) {
    let at = wasm.ic_message(), text = '';
    while (heap8[at]) text += String.fromCharCode(heap8[at++]);
    throw new IsocontourError(text);
  }
  return result();
}

/** The last call's table of addresses and counts (16 words). */
export function result() {
  views();
  return heapU32.subarray(wasm.ic_result() / 4, wasm.ic_result() / 4 + 16);
}

/** [count of numbers, least finite, greatest finite] of the first n values in slot 0. */
export function stats(f32, n) {
  const at = wasm.ic_d3_stats(f32 ? 1 : 0, n) / 8;
  views();
  return [heapF64[at], heapF64[at + 1], heapF64[at + 2]];
}

/** A view of count elements of type Type at address at (valid until the next call). */
export function view(Type, at, count) {
  views();
  return new Type(bytes, at, count);
}
