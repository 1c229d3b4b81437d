// The package in a browser (or a bundler): the module is fetched from beside this folder, the
// SIMD build where the engine has SIMD, and started before anything is exported.
import { imports, simd, start } from './module.js';

const url = simd ? new URL('../isocontour-simd.wasm', import.meta.url)
                 : new URL('../isocontour-plain.wasm', import.meta.url);

async function instantiate() {
  const response = fetch(url);
  try {
    return (await WebAssembly.instantiateStreaming(response, imports)).instance;
  } catch {
    // A server that does not say application/wasm: compile from the bytes instead.
    const bytes = await (await fetch(url)).arrayBuffer();
    return (await WebAssembly.instantiate(bytes, imports)).instance;
  }
}

start(await instantiate());

export * from './core.js';
