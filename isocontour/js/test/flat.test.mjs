// The flat calls against the isocontour tool's output on the same arrays (ISOCONTOUR_TOOL,
// default build/bin/isocontour): lines and bands as GeoJSON, in float64 and float32, with NaN
// holes, a mask, coordinates of each kind, each saddle rule, values at a level on either side,
// log interpolation, the corner mask and open bands; normals against its CSV; refusals with its
// messages.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { ic, random, signedArea, smoothed, sprinkle, steps } from './helpers.mjs';

const tool = resolve(process.env.ISOCONTOUR_TOOL || 'build/bin/isocontour');
const dir = mkdtempSync(join(tmpdir(), 'isocontour-js-'));
after(() => rmSync(dir, { recursive: true, force: true }));

// A .npy file of shape (rows, cols) in C order: float32, float64 or bool.
function npy(name, data, rows, cols) {
  const descr = data instanceof Float32Array ? '<f4' : data instanceof Uint8Array ? '|b1' : '<f8';
  const shape = rows === 1 && cols === undefined ? `(${data.length},)` : `(${rows}, ${cols})`;
  let header = `{'descr': '${descr}', 'fortran_order': False, 'shape': ${shape}, }`;
  header += ' '.repeat(63 - ((header.length + 10) % 64)) + '\n';
  const head = Buffer.alloc(10);
  head.write('\x93NUMPY', 0, 'latin1');
  head[6] = 1, head[7] = 0;
  head.writeUInt16LE(header.length, 8);
  const path = join(dir, name);
  writeFileSync(path, Buffer.concat([head, Buffer.from(header, 'latin1'),
    Buffer.from(data.buffer, data.byteOffset, data.byteLength)]));
  return path;
}

// The tool's GeoJSON of the same call (args: its options besides the field and output).
function toolGeoJSON(values, width, height, args) {
  const out = join(dir, 'out.json');
  execFileSync(tool, [npy('z.npy', values, height, width), ...args, '--geojson', out]);
  return JSON.parse(readFileSync(out, 'utf8'));
}

// Deep equality, float32 results against the tool's %.9g text rounded back to float32.
function sameGeoJSON(ours, theirs, f32, what) {
  const round = v => (typeof v === 'number' && f32 ? Math.fround(v) : v);
  const walk = v => (Array.isArray(v) ? v.map(walk) : round(v));
  const fix = fc => ({ ...fc, features: fc.features.map(f => ({
    ...f, properties: Object.fromEntries(Object.entries(f.properties).map(([k, v]) => [k, round(v)])),
    geometry: { ...f.geometry, coordinates: walk(f.geometry.coordinates) } })) });
  assert.deepStrictEqual(fix(ours), fix(theirs), what);
}

const field = (seed, n, m, f32) => {
  const rand = random(seed);
  const v = sprinkle(rand, smoothed(rand, n, m, 2), [NaN], 8);
  return f32 ? Float32Array.from(v) : Float64Array.from(v);
};

test('lines and bands equal the tool\'s in float64 and float32, with NaN holes and saddles', () => {
  for (const f32 of [false, true]) {
    const [n, m] = [47, 31];
    const z = field(11, n, m, f32);
    const levels = [0.3, -0.2, 0, 0.1];
    // Random steps: saddles in plenty.
    const s = steps(random(19), n, m, 3).map(v => v + 0.1 * (v % 2));
    const stepped = f32 ? Float32Array.from(s) : s;
    for (const saddle of ['above', 'below', 'centre']) {
      const args = ['--levels', levels.join(','), '--saddle', saddle];
      sameGeoJSON(ic.isolines(z, n, m, levels, { saddle }).toGeoJSON(),
                  toolGeoJSON(z, n, m, args), f32, `lines ${saddle} f32 ${f32}`);
      sameGeoJSON(ic.isolines(stepped, n, m, [0.5, 1.5], { saddle }).toGeoJSON(),
                  toolGeoJSON(stepped, n, m, ['--levels', '0.5,1.5', '--saddle', saddle]), f32,
                  `steps ${saddle} f32 ${f32}`);
    }
    const rising = [-0.4, -0.1, 0, 0.2, 0.5];
    sameGeoJSON(ic.isobands(z, n, m, rising, { openBands: true }).toGeoJSON(),
                toolGeoJSON(z, n, m, ['--levels', rising.join(','), '--filled', '--open-bands']),
                f32, `bands f32 ${f32}`);
  }
});

test('the corner mask on NaN holes, as the tool draws it', () => {
  const [n, m] = [40, 30];
  const z = field(20, n, m, false); // eight NaN nodes, each a hole whose cells miss one corner
  const lines = ic.isolines(z, n, m, [-0.1, 0, 0.2], { cornerMask: true });
  sameGeoJSON(lines.toGeoJSON(), toolGeoJSON(z, n, m, ['--levels', '-0.1,0,0.2', '--corner-mask']),
              false, 'corner mask');
  assert.ok(lines.pointCount > ic.isolines(z, n, m, [-0.1, 0, 0.2]).pointCount,
            'the triangles add crossings next to the holes');
  sameGeoJSON(ic.isobands(z, n, m, [-0.1, 0, 0.2], { cornerMask: true, openBands: true }).toGeoJSON(),
              toolGeoJSON(z, n, m, ['--levels', '-0.1,0,0.2', '--filled', '--open-bands',
                                    '--corner-mask']), false, 'bands with the corner mask');
});

test('values at a level on either side, and log interpolation, as the tool does them', () => {
  const rand = random(12);
  const [n, m] = [23, 19];
  const z = steps(rand, n, m, 4);
  for (const atLevel of ['below', 'above']) {
    sameGeoJSON(ic.isolines(z, n, m, [1, 2], { atLevel }).toGeoJSON(),
                toolGeoJSON(z, n, m, ['--levels', '1,2', '--at-level', atLevel]), false, atLevel);
    sameGeoJSON(ic.isobands(z, n, m, [0, 1, 2, 3], { atLevel }).toGeoJSON(),
                toolGeoJSON(z, n, m, ['--levels', '0,1,2,3', '--filled', '--at-level', atLevel]),
                false, `bands ${atLevel}`);
  }
  const positive = field(13, n, m, false).map(v => Math.exp(3 * v));
  sameGeoJSON(ic.isolines(positive, n, m, [0.5, 1, 2], { interpolation: 'log' }).toGeoJSON(),
              toolGeoJSON(positive, n, m, ['--levels', '0.5,1,2', '--log']), false, 'log');
});

test('a mask, and coordinates as arrays, per node, or an origin and a step', () => {
  const [n, m] = [30, 22];
  const z = field(14, n, m, false);
  const rand = random(15);
  const mask = Uint8Array.from({ length: n * m }, () => (rand() < 0.05 ? 1 : 0));
  const maskPath = npy('mask.npy', mask, m, n);
  sameGeoJSON(ic.isolines(z, n, m, [0], { mask }).toGeoJSON(),
              toolGeoJSON(z, n, m, ['--levels', '0', '--mask', maskPath]), false, 'mask');
  const xs = Float64Array.from({ length: n }, (_, i) => 10 + 0.25 * i);
  const ys = Float64Array.from({ length: m }, (_, j) => -3 + 0.5 * j);
  const coords = ['--x', npy('x.npy', xs, 1), '--y', npy('y.npy', ys, 1)];
  const want = toolGeoJSON(z, n, m, ['--levels', '0,0.2', ...coords]);
  sameGeoJSON(ic.isolines(z, n, m, [0, 0.2], { x: xs, y: ys }).toGeoJSON(), want, false, 'x, y');
  sameGeoJSON(ic.isolines(z, n, m, [0, 0.2], { origin: [10, -3], step: [0.25, 0.5] }).toGeoJSON(),
              want, false, 'origin and step');
  const cx = new Float64Array(n * m), cy = new Float64Array(n * m);
  for (let j = 0; j < m; ++j)
    for (let i = 0; i < n; ++i) cx[i + j * n] = i + 0.1 * j, cy[i + j * n] = j - 0.05 * i * i;
  sameGeoJSON(ic.isobands(z, n, m, [-0.2, 0, 0.2], { x: cx, y: cy }).toGeoJSON(),
              toolGeoJSON(z, n, m, ['--levels', '-0.2,0,0.2', '--filled', '--x',
                                    npy('cx.npy', cx, m, n), '--y', npy('cy.npy', cy, m, n)]),
              false, 'curvilinear');
});

test('normals equal the tool\'s CSV; lines keep higher values on their left', () => {
  const [n, m] = [25, 20];
  const z = field(16, n, m, false);
  const lines = ic.isolines(z, n, m, [0.1], { normals: true });
  const csv = join(dir, 'lines.csv');
  execFileSync(tool, [npy('z.npy', z, m, n), '--levels', '0.1', '--normals', '--csv', csv]);
  const rows = readFileSync(csv, 'utf8').trim().split('\n').slice(1).map(r => r.split(',').map(Number));
  assert.equal(rows.length, lines.pointCount);
  rows.forEach(([, , x, y, nx, ny], k) => assert.deepStrictEqual(
    [lines.points[2 * k], lines.points[2 * k + 1], lines.normals[2 * k], lines.normals[2 * k + 1]],
    [x, y, nx, ny], `point ${k}`));
  assert.ok(lines.lineCount > 1);
});

test('bands are valid rings: closed, outer counter-clockwise, holes clockwise, no repeats', () => {
  const [n, m] = [60, 45];
  const z = field(17, n, m, true);
  const bands = ic.isobands(z, n, m, [-0.3, -0.1, 0, 0.1, 0.3], { openBands: true });
  const { points: p, ringOffsets: r, polygonOffsets: g } = bands;
  let holes = 0;
  for (let q = 0; q < bands.polygonCount; ++q)
    for (let k = g[q]; k < g[q + 1]; ++k) {
      const [a, b] = [r[k], r[k + 1]];
      assert.ok(b - a >= 4, 'a ring has at least three points');
      assert.deepStrictEqual([p[2 * a], p[2 * a + 1]], [p[2 * b - 2], p[2 * b - 1]], 'closed');
      for (let i = a + 1; i < b; ++i)
        assert.ok(p[2 * i] !== p[2 * i - 2] || p[2 * i + 1] !== p[2 * i - 1], 'no repeat');
      assert.ok(k === g[q] ? signedArea(p, a, b) > 0 : signedArea(p, a, b) < 0, 'winding');
      holes += k > g[q];
    }
  assert.ok(holes > 0 && bands.polygonCount > 10, 'holes to check');
});

test('refusals throw IsocontourError with the library\'s message, and borrowed views', () => {
  const z = field(18, 10, 8, false);
  const refused = (call, values, args) => {
    const r = spawnSync(tool, [npy('z.npy', values, 8, 10), ...args], { encoding: 'utf8' });
    assert.equal(r.status, 2);
    assert.throws(call, e => e instanceof ic.IsocontourError &&
                  r.stderr.trim() === `isocontour: ${e.message}`, args.join(' '));
  };
  assert.throws(() => ic.isobands(z, 10, 8, [0.5, 0.1]),
                { name: 'IsocontourError', message: /^filled levels must increase strictly; / });
  const negative = z.map(v => v - 1);
  refused(() => ic.isolines(negative, 10, 8, [1], { interpolation: 'log' }), negative,
          ['--levels', '1', '--log']);
  assert.throws(() => ic.isolines(z, 10, 9, [0]), ic.IsocontourError);
  assert.throws(() => ic.isolines(z, 10, 8, [NaN]), ic.IsocontourError);
  assert.throws(() => ic.isolines(z, 10, 8, [0], { saddle: 'middle' }), ic.IsocontourError);
  assert.throws(() => ic.isolines(z, 10, 8, [0], { x: [1, 2] }), ic.IsocontourError);
  // A borrowed result is a view of the module's memory, equal to the copy a call returns.
  const copy = ic.isolines(z, 10, 8, [0.1]);
  const view = ic.isolines(z, 10, 8, [0.1], { borrow: true });
  assert.deepStrictEqual(view.points, copy.points);
  assert.notStrictEqual(view.points.buffer, copy.points.buffer);
  assert.ok(copy.points.buffer.byteLength === copy.points.byteLength, 'a copy owns its buffer');
});
