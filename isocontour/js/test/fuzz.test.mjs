// Seeded fuzzing of the package's inputs (FUZZ_SEED and FUZZ_RUNS to vary it): odd sizes
// (0 and 1 included), NaN, nulls and infinities, levels that are NaN, repeated, unsorted or
// infinite, every kind of coordinates, masks and options. A call either returns results that
// hold together (offsets rising within bounds, closed lines and rings closed, every point
// finite) or throws IsocontourError; d3's API never throws but for a NaN threshold.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { ic, random } from './helpers.mjs';

const seed = +(process.env.FUZZ_SEED || 20261209), runs = +(process.env.FUZZ_RUNS || 1500);
const rand = random(seed);
const pick = list => list[Math.floor(rand() * list.length)];
const specials = [NaN, Infinity, -Infinity, 0, 1, -1, 1e300, -1e-300, 5e-324];

function values(n, m, kind) {
  const v = Array.from({ length: n * m }, () =>
    rand() < 0.1 ? pick(specials) : kind === 'steps' ? Math.floor(rand() * 3) : rand() * 4 - 2);
  return pick([() => Float64Array.from(v), () => Float32Array.from(v), () => v.map(x => (rand() < 0.05 ? null : x))])();
}

function checkOffsets(offsets, end, what) {
  assert.equal(offsets[0], 0, what);
  for (let k = 1; k < offsets.length; ++k) assert.ok(offsets[k] >= offsets[k - 1], what);
  assert.equal(offsets[offsets.length - 1], end, what);
}

function checkClosed(points, from, to, what) {
  assert.ok(points[2 * from] === points[2 * to - 2] && points[2 * from + 1] === points[2 * to - 1], what);
}

function options(n, m) {
  const o = { saddle: pick(['above', 'below', 'centre']), atLevel: pick(['below', 'above']),
              cornerMask: rand() < 0.3,
              borrow: rand() < 0.3 };
  const c = Math.floor(rand() * 5);
  if (c === 1) o.origin = [rand() * 10, -rand()], o.step = [0.5, pick([1, 2, -1])];
  if (c === 2) o.x = Array.from({ length: n }, (_, i) => i * 2), o.y = Array.from({ length: m }, (_, j) => j - 3);
  if (c === 3) o.x = Array.from({ length: n * m }, (_, k) => k % n + rand() * 0.1), o.y = Array.from({ length: n * m }, (_, k) => Math.floor(k / n));
  if (c === 4) o.x = [1, 2, 3]; // the wrong length, mostly
  if (rand() < 0.3) o.mask = Array.from({ length: n * m }, () => rand() < 0.1);
  if (rand() < 0.1) o.interpolation = 'log';
  return o;
}

test('isolines and isobands hold together or refuse with IsocontourError', () => {
  let returned = 0, refused = 0;
  for (let run = 0; run < runs; ++run) {
    const n = Math.floor(rand() * 9), m = Math.floor(rand() * 9);
    const z = values(n, m, pick(['steps', 'noise']));
    const levels = Array.from({ length: 1 + Math.floor(rand() * 4) },
                              () => (rand() < 0.1 ? pick(specials) : Math.floor(rand() * 5) / 2 - 1));
    if (rand() < 0.5) levels.sort((a, b) => a - b);
    const o = options(n, m);
    const what = `run ${run} (seed ${seed})`;
    try {
      if (rand() < 0.5) {
        const lines = ic.isolines(z, n, m, levels, { ...o, normals: rand() < 0.5 });
        checkOffsets(lines.offsets, lines.pointCount, what);
        checkOffsets(lines.levelOffsets, lines.lineCount, what);
        assert.equal(lines.levelOffsets.length, levels.length + 1, what);
        for (let k = 0; k < lines.lineCount; ++k) {
          assert.ok(lines.offsets[k + 1] - lines.offsets[k] >= 2, what);
          if (lines.closed[k]) checkClosed(lines.points, lines.offsets[k], lines.offsets[k + 1], what);
        }
        assert.ok(lines.points.every(Number.isFinite), what);
      } else {
        const bands = ic.isobands(z, n, m, levels, { ...o, openBands: rand() < 0.5 });
        checkOffsets(bands.ringOffsets, bands.pointCount, what);
        checkOffsets(bands.polygonOffsets, bands.ringOffsets.length - 1, what);
        checkOffsets(bands.bandOffsets, bands.polygonCount, what);
        for (let r = 0; r + 1 < bands.ringOffsets.length; ++r)
          checkClosed(bands.points, bands.ringOffsets[r], bands.ringOffsets[r + 1], what);
        assert.ok(bands.points.every(Number.isFinite), what);
        assert.equal(bands.lower.length, bands.bandOffsets.length - 1, what);
      }
      ++returned;
    } catch (e) {
      if (!(e instanceof ic.IsocontourError)) throw new Error(`${what}: ${e.stack}`);
      assert.match(e.message, /^[^\n]+$/, 'a one-line message');
      ++refused;
    }
  }
  assert.ok(returned > runs / 4 && refused > runs / 20, `${returned} returned, ${refused} refused`);
});

test('d3\'s API returns rings for any values and thresholds but NaN', () => {
  for (let run = 0; run < runs / 3; ++run) {
    const n = Math.floor(rand() * 7), m = Math.floor(rand() * 7);
    const z = values(n, m, 'steps');
    const thresholds = Array.from({ length: 1 + Math.floor(rand() * 3) }, () => pick([...specials, 0.5, 1, 2]));
    const generator = ic.contours().size([n, m]).smooth(rand() < 0.5).thresholds(thresholds);
    if (thresholds.some(Number.isNaN)) {
      assert.throws(() => generator(z), { message: /^invalid value: NaN$/ });
      continue;
    }
    for (const c of generator(z))
      for (const polygon of c.coordinates)
        for (const ring of polygon) {
          assert.ok(ring.length >= 4, `run ${run}`);
          assert.deepStrictEqual(ring[0], ring[ring.length - 1]);
          assert.ok(ring.every(([x, y]) => x >= 0 && x <= n && y >= 0 && y <= m), `run ${run}`);
        }
  }
});

test('large and small calls in turn: memory grows and copies stay whole', () => {
  const big = new Float64Array(600 * 500).map((_, k) => Math.sin(k * 0.001) + Math.cos(k * 0.37));
  const small = Float64Array.from([0, 1, 0, 1, 2, 1, 0, 1, 0]);
  const first = ic.isolines(small, 3, 3, [0.5]);
  const kept = first.points.slice();
  for (let k = 0; k < 3; ++k) {
    assert.ok(ic.isobands(big, 600, 500, [-1, 0, 1], { openBands: true }).polygonCount > 100);
    assert.deepStrictEqual(ic.isolines(small, 3, 3, [0.5]).points, kept);
  }
  assert.deepStrictEqual(first.points, kept, 'a returned copy is untouched by later calls');
});
