// d3-contour's API against d3-contour itself (pinned by the lockfile) on the same arrays: random
// steps (plateaus at the thresholds, saddles), smoothed noise, NaN, null, undefined and
// infinities, smoothing on and off, float32 and float64 and plain arrays, default, counted and
// listed thresholds. The polygons must be d3's: the same thresholds and values, polygons in the
// same order, rings with the same points in the same winding (start points normalised).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import * as d3 from 'd3-contour';
import { ic, normalise, random, smoothed, sprinkle, steps } from './helpers.mjs';

const same = (ours, theirs, what) =>
  assert.deepStrictEqual(normalise(ours), normalise(theirs), what);

// Both generators set up alike, on the same values.
function both(n, m, thresholds, smooth) {
  const make = lib => {
    const c = lib.contours().size([n, m]).smooth(smooth);
    return thresholds === undefined ? c : c.thresholds(thresholds);
  };
  return [make(ic), make(d3)];
}

// d3 reads the first value of the last row without its null check (null counts as 0 there);
// keep plain arrays' nulls elsewhere.
const noNullAt = (values, n, m) => {
  const k = (m - 1) * n;
  if (values[k] === null) values[k] = undefined;
  return values;
};

test('steps with plateaus at every threshold and saddles, smooth and not', () => {
  const rand = random(1);
  for (let round = 0; round < 60; ++round) {
    const n = 1 + Math.floor(rand() * 12), m = 1 + Math.floor(rand() * 12);
    const values = steps(rand, n, m, 4);
    for (const smooth of [true, false]) {
      const [ours, theirs] = both(n, m, [0.5, 1, 2, 2.5, 3], smooth);
      same(ours(values), theirs(values), `${n} x ${m} #${round} smooth ${smooth}`);
    }
  }
});

test('NaN, null, undefined and infinities, in float64, float32 and plain arrays', () => {
  const rand = random(2);
  const specials = [NaN, null, undefined, Infinity, -Infinity];
  for (let round = 0; round < 60; ++round) {
    const n = 2 + Math.floor(rand() * 14), m = 2 + Math.floor(rand() * 14);
    const plain = noNullAt(sprinkle(rand, steps(rand, n, m, 5), specials, 1 + n * m / 5), n, m);
    const thresholds = [-Infinity, 0, 1, 1.5, 3, Infinity];
    for (const smooth of [true, false]) {
      const [ours, theirs] = both(n, m, thresholds, smooth);
      same(ours(plain), theirs(plain), `plain ${n} x ${m} #${round}`);
      const f64 = Float64Array.from(plain, v => (v == null ? NaN : v));
      same(ours(f64), theirs(f64), `float64 ${n} x ${m} #${round}`);
      const f32 = Float32Array.from(plain, v => (v == null ? NaN : v));
      same(ours(f32), theirs(f32), `float32 ${n} x ${m} #${round}`);
    }
  }
});

test('smoothed noise with holes: default, counted and listed thresholds', () => {
  const rand = random(3);
  for (let round = 0; round < 6; ++round) {
    const n = 30 + Math.floor(rand() * 50), m = 30 + Math.floor(rand() * 50);
    const values = sprinkle(rand, smoothed(rand, n, m, 3), [NaN], 20);
    for (const thresholds of [undefined, 7, 20, [-0.5, 0, 0.25, 0.5]]) {
      const [ours, theirs] = both(n, m, thresholds, true);
      const got = ours(values), want = theirs(values);
      assert.deepStrictEqual(got.map(c => c.value), want.map(c => c.value), 'thresholds');
      same(got, want, `${n} x ${m} #${round} thresholds ${thresholds}`);
    }
  }
});

test('contour() of one threshold, and its value as given', () => {
  const rand = random(4);
  const values = smoothed(rand, 40, 30, 2);
  const [ours, theirs] = both(40, 30, undefined, true);
  for (const t of [-0.3, 0, '0.2', 0.41]) {
    const got = ours.contour(values, t), want = theirs.contour(values, t);
    assert.strictEqual(got.value, want.value);
    same([got], [want], `threshold ${t}`);
  }
});

test('the generator\'s settings and refusals are d3\'s', () => {
  const ours = ic.contours(), theirs = d3.contours();
  assert.deepStrictEqual(ours.size(), theirs.size());
  assert.strictEqual(ours.smooth(), theirs.smooth());
  assert.deepStrictEqual(ours.size([3.7, 2.2]).size(), theirs.size([3.7, 2.2]).size());
  assert.throws(() => ours.size([-1, 2]), { message: 'invalid size' });
  for (const bad of [NaN, null, 'x'])
    assert.throws(() => ours.contour([1, 2, 3, 4, 5, 6], bad), { message: `invalid value: ${bad}` });
  // A list of thresholds is sorted and copied, as d3 does.
  const list = [2, 1];
  ours.thresholds(list);
  list.push(0);
  assert.deepStrictEqual(ours([0, 1, 2, 3, 2, 1]).map(c => c.value), [1, 2]);
  // No number at all: d3's thresholds from an empty extent.
  const empty = [NaN, NaN, NaN, NaN];
  assert.deepStrictEqual(normalise(ic.contours().size([2, 2])(empty)),
                         normalise(d3.contours().size([2, 2])(empty)));
});

test('contourDensity: d3\'s binning and blur, our contours', () => {
  const rand = random(5);
  const data = Array.from({ length: 500 }, () => [rand() * 300 + rand() * 300, rand() * 200]);
  const ours = ic.contourDensity().size([600, 200]).bandwidth(15);
  const theirs = d3.contourDensity().size([600, 200]).bandwidth(15);
  const got = ours(data), want = theirs(data);
  assert.ok(want.length > 3 && want.some(c => c.coordinates.length > 1), 'several contours');
  same(got, want, 'density');
  const one = ours.contours(data), other = theirs.contours(data);
  assert.strictEqual(one.max, other.max);
  same([one(one.max / 3)], [other(other.max / 3)], 'one threshold');
});

// Even-odd test of (x, y) against a band's rings; null when the point lies on one of them.
function inBand(bands, b, x, y) {
  const { points: p, ringOffsets: r, polygonOffsets: g, bandOffsets: o } = bands;
  let inside = false;
  for (let q = g[o[b]]; q < g[o[b + 1]]; ++q)
    for (let k = r[q] + 1; k < r[q + 1]; ++k) {
      const [x0, y0, x1, y1] = [p[2 * k - 2], p[2 * k - 1], p[2 * k], p[2 * k + 1]];
      const cross = (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
      if (cross === 0 && Math.min(x0, x1) <= x && x <= Math.max(x0, x1) &&
          Math.min(y0, y1) <= y && y <= Math.max(y0, y1)) return null;
      if ((y0 > y) !== (y1 > y) && x < x0 + ((y - y0) * (x1 - x0)) / (y1 - y0)) inside = !inside;
    }
  return inside;
}

test('bands(): d3\'s pixel coordinates and rule at a threshold, each value in its own band', () => {
  const rand = random(6);
  for (let round = 0; round < 10; ++round) {
    const n = 6 + Math.floor(rand() * 15), m = 6 + Math.floor(rand() * 15);
    // Blocks of 3 x 3 equal values, half of them at a threshold: plateaus whose inner values
    // lie inside a band, on the side the rule at a threshold says.
    const blocks = steps(rand, n, m, 8);
    const values = blocks.map((_, k) => blocks[Math.floor((k % n) / 3) * 3 + Math.floor(Math.floor(k / n) / 3) * 3 * n] / 2);
    const thresholds = [0, 1, 2, 3, 4];
    const bands = ic.contours().size([n, m]).bands(values, thresholds);
    let checked = 0, atThreshold = 0;
    for (let j = 0; j < m; ++j)
      for (let i = 0; i < n; ++i) {
        const v = values[i + j * n];
        // A value at a threshold with a lower neighbour is where the band's edge runs (and an
        // isolated one a band of no area): no side to test.
        let lower = false;
        for (let dj = -1; dj <= 1; ++dj)
          for (let di = -1; di <= 1; ++di) {
            const x = i + di, y = j + dj;
            if (x >= 0 && x < n && y >= 0 && y < m && values[x + y * n] < v) lower = true;
          }
        if (lower && thresholds.includes(v)) continue;
        for (let b = 0; b + 1 < thresholds.length; ++b) {
          const inside = inBand(bands, b, i + 0.5, j + 0.5);
          if (inside === null) continue;
          assert.equal(inside, thresholds[b] <= v && v < thresholds[b + 1],
                       `value ${v} at (${i}, ${j}) and band ${b} (#${round})`);
          ++checked;
          atThreshold += thresholds.includes(v);
        }
      }
    assert.ok(checked > n * m, `${checked} checks`); // of 4 * n * m
    assert.ok(atThreshold > 0, 'values inside a plateau at a threshold');
  }
});

test('float32 values against thresholds between floats and beyond their range', () => {
  const rand = random(7);
  const f32 = Float32Array.from({ length: 64 }, () => Math.fround(rand() * 2 - 1));
  f32[5] = Infinity, f32[9] = -Infinity, f32[17] = 3.4e38;
  // Thresholds at a float, between two floats, and past the largest float each way.
  const thresholds = [-1e300, -3.5e38, f32[3], f32[3] + 1e-12, f32[4] - 1e-12, 3.5e38, 1e300];
  const [ours, theirs] = both(8, 8, thresholds, true);
  same(ours(f32), theirs(f32), 'float32 thresholds');
});
