// The package's benchmark, one field at a time, the same code in Node and in Chromium: d3-contour
// and marchingsquares against ours on the same array, one level or ten, lines and bands.
// Each figure is the median wall-clock time of its runs, in milliseconds.

function median(list) {
  const s = [...list].sort((a, b) => a - b), h = Math.floor(s.length / 2);
  return s.length % 2 ? s[h] : (s[h - 1] + s[h]) / 2;
}

// The median of runs timed calls after warmUp untimed ones, which compile and optimise it (the
// engine's WebAssembly tiers up to its optimising compiler in the background after the first
// calls); a peer asked for one run on a large field (seconds a call) is timed cold, its
// compilation then a small part of its time.
function time(call, runs, warmUp = 3) {
  const times = [];
  let result;
  for (let k = 0; k < warmUp; ++k) result = call();
  for (let k = 0; k < runs; ++k) {
    const start = performance.now();
    result = call();
    times.push(performance.now() - start);
  }
  return [median(times), result];
}

/**
 * Times every library on one field. libs: { ic, d3, ms } (the three modules); field: { values
 * (Float32Array), width, height }; levels: the levels, rising; runs: runs of ours; peerRuns: runs
 * of the peers (slow at 4096 x 4096: a single run is timed without a warm-up). Returns one row
 * per call: { call, ms, count }.
 */
export function measure(libs, field, levels, runs, peerRuns) {
  const { ic, d3, ms } = libs;
  const { values, width, height } = field;
  const rows = [];
  const add = (call, [t, count]) => rows.push({ call, ms: t, count });
  const warmPeers = peerRuns > 1 || width * height <= 1 << 20 ? 1 : 0;
  const polygons = r => r.reduce((s, c) => s + c.coordinates.length, 0);
  // d3-contour's MultiPolygons, and ours through the same API (the same objects out).
  add('d3-contour contours()', time(() => polygons(d3.contours().size([width, height]).thresholds(levels)(values)), peerRuns, warmPeers));
  add('ours contours()', time((() => polygons(ic.contours().size([width, height]).thresholds(levels)(values))), runs));
  // Ours flat: lines at each level; bands between them and above the last, as d3's regions are.
  add('ours isolines()', time((() => ic.isolines(values, width, height, levels).lineCount), runs));
  const bounds = [...levels, Infinity];
  add('ours isobands()', time((() => ic.isobands(values, width, height, bounds).polygonCount), runs));
  // marchingsquares takes rows of plain numbers: made once, not timed.
  const rows2d = Array.from({ length: height }, (_, j) => Array.from(values.subarray(j * width, (j + 1) * width)));
  add('marchingsquares isoLines()', time(() => ms.isoLines(rows2d, levels).reduce((s, l) => s + l.length, 0), peerRuns, warmPeers));
  let hi = -Infinity;
  for (const v of values) if (v > hi && v !== Infinity) hi = v;
  const widths = levels.map((v, k) => (k + 1 < levels.length ? levels[k + 1] : hi) - v);
  add('marchingsquares isoBands()', time(() => ms.isoBands(rows2d, levels, widths).reduce((s, b) => s + b.length, 0), peerRuns,
                                             warmPeers));
  return rows;
}
