// The package's API, whichever entry point started the module.
export { isolines, isobands, Isolines, Isobands } from './flat.js';
export { contours } from './d3.js';
export { contourDensity } from './density.js';
export { IsocontourError } from './errors.js';
export { simd } from './module.js';
