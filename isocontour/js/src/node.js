// The package in Node: the module is read from beside this folder, the SIMD build where the
// engine has SIMD, and started before anything is exported.
import { readFile } from 'node:fs/promises';
import { imports, simd, start } from './module.js';

const url = simd ? new URL('../isocontour-simd.wasm', import.meta.url)
                 : new URL('../isocontour-plain.wasm', import.meta.url);
start((await WebAssembly.instantiate(await readFile(url), imports)).instance);

export * from './core.js';
