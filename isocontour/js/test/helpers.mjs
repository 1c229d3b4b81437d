// Shared pieces of the package's tests: the package as built (PKG_DIR, default
// build-web/isocontour-js), seeded random grids with the awkward values d3 and the library must
// agree on, and rings compared with their start points normalised.
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const pkgDir = resolve(process.env.PKG_DIR || 'build-web/isocontour-js');
export const ic = await import(pathToFileURL(resolve(pkgDir, 'src/node.js')).href);
export { pkgDir };

/** A seeded generator of floats in [0, 1) (mulberry32). */
export function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

/** Integers 0..levels-1 at random: plateaus exactly at integer thresholds, and saddles. */
export function steps(rand, n, m, levels) {
  return Float64Array.from({ length: n * m }, () => Math.floor(rand() * levels));
}

/** Noise smoothed by three box blurs of radius r (an n x m grid), scaled to about [-1, 1]. */
export function smoothed(rand, n, m, r) {
  let a = Float64Array.from({ length: n * m }, () => rand() * 2 - 1);
  for (let pass = 0; pass < 3; ++pass) {
    const b = new Float64Array(n * m);
    for (let j = 0; j < m; ++j)
      for (let i = 0; i < n; ++i) {
        let s = 0, c = 0;
        for (let dj = -r; dj <= r; ++dj)
          for (let di = -r; di <= r; ++di) {
            const x = i + di, y = j + dj;
            if (x >= 0 && x < n && y >= 0 && y < m) s += a[x + y * n], ++c;
          }
        b[i + j * n] = s / c;
      }
    a = b;
  }
  let hi = 0;
  for (const v of a) hi = Math.max(hi, Math.abs(v));
  return a.map(v => v / hi);
}

/** Puts count of the given specials (NaN, null, Infinity, ...) at random places of a copy. */
export function sprinkle(rand, values, specials, count) {
  const out = Array.from(values);
  for (let k = 0; k < count; ++k)
    out[Math.floor(rand() * out.length)] = specials[Math.floor(rand() * specials.length)];
  return out;
}

/** A closed ring with its first point moved to its least point (x, then y), still closed; of
 * several places of that point (smoothing can repeat one), the one giving the least sequence. */
export function normalRing(ring) {
  const open = ring.slice(0, -1);
  const less = (p, q) => p[0] < q[0] || (p[0] === q[0] && p[1] < q[1]);
  let least = open[0];
  for (const p of open) if (less(p, least)) least = p;
  let best = null;
  for (let k = 0; k < open.length; ++k) {
    if (open[k][0] !== least[0] || open[k][1] !== least[1]) continue;
    const turned = open.slice(k).concat(open.slice(0, k));
    if (best === null || JSON.stringify(turned) < JSON.stringify(best)) best = turned;
  }
  return best.concat([best[0]]);
}

/** d3's MultiPolygons with every ring's start normalised (order and winding kept). */
export const normalise = multipolygons => multipolygons.map(c => ({
  type: c.type, value: c.value,
  coordinates: c.coordinates.map(polygon => polygon.map(normalRing)),
}));

/** Twice the signed area of a flat ring (x, y interleaved), positive counter-clockwise (y up). */
export function signedArea(points, from, to) {
  let a = 0;
  for (let k = from; k + 1 < to; ++k)
    a += points[2 * k] * points[2 * k + 3] - points[2 * k + 2] * points[2 * k + 1];
  return a;
}
