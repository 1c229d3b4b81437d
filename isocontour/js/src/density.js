// d3-contour's contourDensity(): d3's own binning and blur (d3-array's blur2), then our
// contours() in place of d3's. Adapted from d3-contour 4.0.3's density.js, under its licence:
//
// Copyright 2012-2026 Mike Bostock
//
// Permission to use, copy, modify, and/or distribute this software for any purpose
// with or without fee is hereby granted, provided that the above copyright notice
// and this permission notice appear in all copies.
//
// THE SOFTWARE IS PROVIDED "AS IS" AND THE AUTHOR DISCLAIMS ALL WARRANTIES WITH
// REGARD TO THIS SOFTWARE INCLUDING ALL IMPLIED WARRANTIES OF MERCHANTABILITY AND
// FITNESS. IN NO EVENT SHALL THE AUTHOR BE LIABLE FOR ANY SPECIAL, DIRECT,
// INDIRECT, OR CONSEQUENTIAL DAMAGES OR ANY DAMAGES WHATSOEVER RESULTING FROM LOSS
// OF USE, DATA OR PROFITS, WHETHER IN AN ACTION OF CONTRACT, NEGLIGENCE OR OTHER
// TORTIOUS ACTION, ARISING OUT OF OR IN CONNECTION WITH THE USE OR PERFORMANCE OF
// THIS SOFTWARE.
import { blur2, max, ticks } from 'd3-array';
import { contours } from './d3.js';

const constant = x => () => x;
const defaultX = d => d[0];
const defaultY = d => d[1];
const defaultWeight = () => 1;

/** d3-contour's density estimator, contoured by the library. See index.d.ts. */
export function contourDensity() {
  let x = defaultX, y = defaultY, weight = defaultWeight,
      dx = 960, dy = 500,
      r = 20, // blur radius
      k = 2, // log2(grid cell size)
      o = r * 3, // grid offset, to pad for blur
      n = (dx + o * 2) >> k, // grid width
      m = (dy + o * 2) >> k, // grid height
      threshold = constant(20);

  function grid(data) {
    const values = new Float32Array(n * m), pow2k = Math.pow(2, -k);
    let i = -1;
    for (const d of data) {
      const xi = (x(d, ++i, data) + o) * pow2k, yi = (y(d, i, data) + o) * pow2k,
            wi = +weight(d, i, data);
      if (wi && xi >= 0 && xi < n && yi >= 0 && yi < m) {
        const x0 = Math.floor(xi), y0 = Math.floor(yi), xt = xi - x0 - 0.5, yt = yi - y0 - 0.5;
        values[x0 + y0 * n] += (1 - xt) * (1 - yt) * wi;
        values[x0 + 1 + y0 * n] += xt * (1 - yt) * wi;
        values[x0 + 1 + (y0 + 1) * n] += xt * yt * wi;
        values[x0 + (y0 + 1) * n] += (1 - xt) * yt * wi;
      }
    }
    blur2({ data: values, width: n, height: m }, r * pow2k);
    return values;
  }

  function density(data) {
    const values = grid(data), pow4k = Math.pow(2, 2 * k);
    let tz = threshold(values);
    if (!Array.isArray(tz)) tz = ticks(Number.MIN_VALUE, max(values) / pow4k, tz);
    return contours().size([n, m]).thresholds(tz.map(d => d * pow4k))(values)
      .map((c, i) => (c.value = +tz[i], transform(c)));
  }

  density.contours = function(data) {
    const values = grid(data), generator = contours().size([n, m]), pow4k = Math.pow(2, 2 * k);
    const contour = value => {
      value = +value;
      const c = transform(generator.contour(values, value * pow4k));
      c.value = value; // preserve exact threshold value
      return c;
    };
    Object.defineProperty(contour, 'max', { get: () => max(values) / pow4k });
    return contour;
  };

  function transform(geometry) {
    const scale = Math.pow(2, k);
    for (const polygon of geometry.coordinates)
      for (const ring of polygon)
        for (const point of ring) {
          point[0] = point[0] * scale - o;
          point[1] = point[1] * scale - o;
        }
    return geometry;
  }

  function resize() {
    o = r * 3;
    n = (dx + o * 2) >> k;
    m = (dy + o * 2) >> k;
    return density;
  }

  density.x = function(_) {
    return arguments.length ? (x = typeof _ === 'function' ? _ : constant(+_), density) : x;
  };
  density.y = function(_) {
    return arguments.length ? (y = typeof _ === 'function' ? _ : constant(+_), density) : y;
  };
  density.weight = function(_) {
    return arguments.length ? (weight = typeof _ === 'function' ? _ : constant(+_), density) : weight;
  };
  density.size = function(_) {
    if (!arguments.length) return [dx, dy];
    const _0 = +_[0], _1 = +_[1];
    if (!(_0 >= 0 && _1 >= 0)) throw new Error('invalid size');
    return dx = _0, dy = _1, resize();
  };
  density.cellSize = function(_) {
    if (!arguments.length) return 1 << k;
    if (!((_ = +_) >= 1)) throw new Error('invalid cell size');
    return k = Math.floor(Math.log(_) / Math.LN2), resize();
  };
  density.thresholds = function(_) {
    return arguments.length
      ? (threshold = typeof _ === 'function' ? _ : Array.isArray(_) ? constant(Array.prototype.slice.call(_)) : constant(_), density)
      : threshold;
  };
  density.bandwidth = function(_) {
    if (!arguments.length) return Math.sqrt(r * (r + 1));
    if (!((_ = +_) >= 0)) throw new Error('invalid bandwidth');
    return r = (Math.sqrt(4 * _ * _ + 1) - 1) / 2, resize();
  };

  return density;
}
