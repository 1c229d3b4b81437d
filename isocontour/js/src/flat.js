// The flat calls: isolines and isobands of a row-major grid of numbers, with the library's
// options, as typed arrays, and GeoJSON made from them only when asked for.
import { IsocontourError } from './errors.js';
import { call, put, putMask, view } from './module.js';

const saddles = { above: 0, below: 1, centre: 2, center: 2 };
const atLevels = { below: 0, above: 1 };
const interpolations = { linear: 0, log: 1 };

function checkSize(values, width, height) {
  if (!(Number.isInteger(width) && Number.isInteger(height) && width >= 0 && height >= 0))
    throw new IsocontourError(`width and height must be whole numbers, not ${width} and ${height}`);
  if (values == null || values.length < width * height)
    throw new IsocontourError(`values hold ${values?.length ?? 0} numbers, fewer than width * height = ${width * height}`);
}

function pick(table, value, name) {
  if (value === undefined) return 0;
  if (!(value in table)) throw new IsocontourError(`${name} must be one of ${Object.keys(table).join(', ')}, not ${value}`);
  return table[value];
}

// Writes levels and coordinates into the module and returns the arguments its calls take after
// the size: [levels, coords, x0, y0, stepX, stepY, mask, saddle, atLevel, interpolation, flags].
function prepare(width, height, levels, options, f32, flags) {
  const list = typeof levels === 'number' ? [levels] : Array.from(levels ?? [], Number);
  put(4, list, list.length, false);
  const { x, y, origin, step, mask } = options;
  let coords = 0;
  let [x0, y0] = origin ?? [0, 0];
  let [sx, sy] = step ?? [1, 1];
  if (x != null || y != null) {
    if (x == null || y == null) throw new IsocontourError('coordinates need both x and y');
    if (origin || step) throw new IsocontourError('give coordinates as x and y or as origin and step, not both');
    if (x.length === width && y.length === height) coords = 1;
    else if (x.length === width * height && y.length === width * height) coords = 2;
    else throw new IsocontourError(`x and y must hold width and height coordinates (${width}, ${height}) or width * height each (${width * height}); they hold ${x.length} and ${y.length}`);
    put(1, x, x.length, f32);
    put(2, y, y.length, f32);
  } else if (origin || step) {
    coords = 3;
  }
  if (mask != null) putMask(mask, width * height);
  return [list.length, coords, +x0, +y0, +sx, +sy, mask != null ? 1 : 0,
    pick(saddles, options.saddle, 'saddle'), pick(atLevels, options.atLevel, 'atLevel'),
    pick(interpolations, options.interpolation, 'interpolation'),
    (options.cornerMask ? 1 : 0) | flags];
}

function copy(Type, at, count, borrow) {
  const v = view(Type, at, count);
  return borrow ? v : v.slice();
}

/**
 * Contour lines of a grid at each level, in the order given. See index.d.ts.
 * @returns {Isolines}
 */
export function isolines(values, width, height, levels, options = {}) {
  checkSize(values, width, height);
  const f32 = values instanceof Float32Array;
  put(0, values, width * height, f32);
  const args = prepare(width, height, levels, options, f32, options.normals ? 2 : 0);
  const r = call('ic_lines', f32 ? 1 : 0, width, height, ...args);
  const P = f32 ? Float32Array : Float64Array, b = !!options.borrow;
  return new Isolines({
    points: copy(P, r[0], 2 * r[1], b),
    normals: options.normals ? copy(P, r[2], 2 * r[3], b) : null,
    offsets: copy(Uint32Array, r[4], r[5], b),
    closed: copy(Uint8Array, r[6], r[7], b),
    levelOffsets: copy(Uint32Array, r[8], r[9], b),
    levels: Float64Array.from(typeof levels === 'number' ? [levels] : levels, Number),
  });
}

/**
 * Filled bands between consecutive rising levels (and beyond them with openBands). See
 * index.d.ts.
 * @returns {Isobands}
 */
export function isobands(values, width, height, levels, options = {}) {
  checkSize(values, width, height);
  const f32 = values instanceof Float32Array;
  put(0, values, width * height, f32);
  const args = prepare(width, height, levels, options, f32, options.openBands ? 4 : 0);
  const r = call('ic_bands', f32 ? 1 : 0, width, height, ...args);
  const P = f32 ? Float32Array : Float64Array, b = !!options.borrow;
  return new Isobands({
    points: copy(P, r[0], 2 * r[1], b),
    ringOffsets: copy(Uint32Array, r[2], r[3], b),
    polygonOffsets: copy(Uint32Array, r[4], r[5], b),
    bandOffsets: copy(Uint32Array, r[6], r[7], b),
    lower: Float64Array.from(view(P, r[8], r[10])),
    upper: Float64Array.from(view(P, r[9], r[10])),
  });
}

const pointsOf = (points, from, to) => {
  const out = new Array(to - from);
  for (let k = from; k < to; ++k) out[k - from] = [points[2 * k], points[2 * k + 1]];
  return out;
};
const bound = v => (Number.isFinite(v) ? v : null);

/** Lines as flat arrays; see index.d.ts. */
export class Isolines {
  constructor(fields) { Object.assign(this, fields); }
  get lineCount() { return this.closed.length; }
  get pointCount() { return this.points.length / 2; }
  /** Line k's points as a subarray (x, y interleaved). */
  line(k) { return this.points.subarray(2 * this.offsets[k], 2 * this.offsets[k + 1]); }
  /** A FeatureCollection: per level a MultiLineString with properties.level. */
  toGeoJSON() {
    const features = [];
    for (let m = 0; m < this.levels.length; ++m) {
      const coordinates = [];
      for (let k = this.levelOffsets[m]; k < this.levelOffsets[m + 1]; ++k)
        coordinates.push(pointsOf(this.points, this.offsets[k], this.offsets[k + 1]));
      features.push({ type: 'Feature', properties: { level: this.levels[m] },
        geometry: { type: 'MultiLineString', coordinates } });
    }
    return { type: 'FeatureCollection', features };
  }
}

/** Bands as flat arrays; see index.d.ts. */
export class Isobands {
  constructor(fields) { Object.assign(this, fields); }
  get polygonCount() { return this.polygonOffsets.length - 1; }
  get pointCount() { return this.points.length / 2; }
  /** A FeatureCollection: per band a MultiPolygon with properties.lower and .upper (null when open). */
  toGeoJSON() {
    const features = [];
    for (let b = 0; b < this.lower.length; ++b) {
      const coordinates = [];
      for (let p = this.bandOffsets[b]; p < this.bandOffsets[b + 1]; ++p) {
        const rings = [];
        for (let r = this.polygonOffsets[p]; r < this.polygonOffsets[p + 1]; ++r)
          rings.push(pointsOf(this.points, this.ringOffsets[r], this.ringOffsets[r + 1]));
        coordinates.push(rings);
      }
      features.push({ type: 'Feature',
        properties: { lower: bound(this.lower[b]), upper: bound(this.upper[b]) },
        geometry: { type: 'MultiPolygon', coordinates } });
    }
    return { type: 'FeatureCollection', features };
  }
}
