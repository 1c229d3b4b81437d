// d3-contour's contours(), computed by the library: the same methods, defaults, thresholds,
// rings, points, winding and hole owners as d3.contours(), plus bands, which d3 lacks.
import { nice, thresholdSturges, ticks } from 'd3-array';
import { IsocontourError } from './errors.js';
import { call, put, stats, view } from './module.js';
import { isobands } from './flat.js';

const constant = x => () => x;
const ascending = (a, b) => a - b;

// d3's check of a threshold, with its message.
function checkValue(value) {
  const v = value == null ? NaN : +value;
  if (isNaN(v)) throw new Error(`invalid value: ${value}`);
  return v;
}

// Values into the module as d3 reads them: float32 arrays as they are, anything else as float64
// with null and undefined as NaN (d3's "invalid", below every threshold).
function load(values, n) {
  const f32 = values instanceof Float32Array;
  put(0, values, n, f32);
  return f32;
}

// d3's MultiPolygons from the module's flat result, one per threshold.
function polygons(tz) {
  const r = call('ic_d3', ...tz.call);
  const points = view(Float64Array, r[0], 2 * r[1]);
  const rings = view(Uint32Array, r[2], r[3]);
  const polys = view(Uint32Array, r[4], r[5]);
  const owners = view(Uint32Array, r[6], r[7]);
  return tz.values.map((value, t) => {
    const coordinates = new Array(owners[t + 1] - owners[t]);
    for (let p = owners[t]; p < owners[t + 1]; ++p) {
      const polygon = new Array(polys[p + 1] - polys[p]);
      for (let q = polys[p]; q < polys[p + 1]; ++q) {
        const ring = new Array(rings[q + 1] - rings[q]);
        for (let k = rings[q], i = 0; k < rings[q + 1]; ++k, ++i)
          ring[i] = [points[2 * k], points[2 * k + 1]];
        polygon[q - polys[p]] = ring;
      }
      coordinates[p - owners[t]] = polygon;
    }
    return { type: 'MultiPolygon', value, coordinates };
  });
}

/**
 * d3-contour's contour generator: contours().size([n, m]).thresholds(...).smooth(bool), called
 * on an array of n * m values (value i + j * n at the centre of pixel (i, j)). See index.d.ts.
 */
export function contours() {
  let dx = 1, dy = 1, threshold = thresholdSturges, smooth = true;

  function run(values, tz) {
    const f32 = values instanceof Float32Array;
    put(4, tz.map(checkValue), tz.length, false);
    return polygons({ values: tz, call: [f32 ? 1 : 0, dx, dy, tz.length, smooth ? 1 : 0] });
  }

  function contours(values) {
    const f32 = load(values, dx * dy);
    let tz, counted = null;
    if (threshold === thresholdSturges) {
      // d3-array's own rule, on the count the module makes while the values are at hand.
      counted = stats(f32, values.length);
      tz = Math.max(1, Math.ceil(Math.log(counted[0]) / Math.LN2) + 1);
    } else {
      tz = threshold(values);
    }
    if (!Array.isArray(tz)) {
      // d3's uniform thresholds over the finite values' extent, with d3-array's nice ticks.
      const [, lo, hi] = counted ?? stats(f32, values.length);
      const e = isNaN(lo) ? [undefined, undefined] : [lo, hi];
      tz = ticks(...nice(e[0], e[1], tz), tz);
      while (tz[tz.length - 1] >= e[1]) tz.pop();
      while (tz[1] < e[0]) tz.shift();
    } else {
      tz = tz.slice().sort(ascending);
    }
    return run(values, tz);
  }

  /** One threshold's MultiPolygon, as d3's contours.contour(values, threshold). */
  contours.contour = function(values, value) {
    checkValue(value);
    load(values, dx * dy);
    return run(values, [value])[0];
  };

  /**
   * What d3 lacks: the filled bands between consecutive thresholds of the same values, as the
   * flat isobands() call gives them, in d3's pixel coordinates (value i + j * n at
   * (i + 0.5, j + 0.5)) and with d3's rule at a threshold (a value equal to it is in the band
   * above).
   */
  contours.bands = function(values, thresholds, options = {}) {
    return isobands(values, dx, dy, thresholds,
                    { atLevel: 'above', ...options, origin: [0.5, 0.5], step: [1, 1] });
  };

  contours.size = function(_) {
    if (!arguments.length) return [dx, dy];
    const _0 = Math.floor(_[0]), _1 = Math.floor(_[1]);
    if (!(_0 >= 0 && _1 >= 0)) throw new Error('invalid size');
    return dx = _0, dy = _1, contours;
  };

  contours.thresholds = function(_) {
    return arguments.length
      ? (threshold = typeof _ === 'function' ? _ : Array.isArray(_) ? constant(Array.prototype.slice.call(_)) : constant(_), contours)
      : threshold;
  };

  contours.smooth = function(_) {
    return arguments.length ? (smooth = !!_, contours) : smooth;
  };

  return contours;
}

