// The page: a field, a number of levels and a way to draw them; ours and d3-contour's results
// side by side with the time each call took. document.body's data-state is loading, ready (with
// data-draws counting the pictures drawn) or failed.
import * as d3 from 'd3-contour';
import { contours, isobands, isolines, simd } from 'isocontour';
import { drawBands, drawLines, drawPolygons, strokePolygons } from './draw.js';
import { charges, noise, readImage, readNpy } from './fields.js';

const $ = id => document.getElementById(id);
const status = text => { $('status').textContent = text; };
let uploaded = null;

function field() {
  const n = +$('size').value;
  if ($('field').value === 'file' && uploaded) return uploaded;
  return $('field').value === 'noise' ? noise(n) : charges(n);
}

// count levels at evenly spaced quantiles of a sample of the finite values, so that fields with
// peaks (the charges') show more than their peaks; both sides take this same list.
function quantiles(values, count) {
  const step = Math.max(1, Math.floor(values.length / 20000));
  const sample = [];
  for (let k = 0; k < values.length; k += step) if (Number.isFinite(values[k])) sample.push(values[k]);
  sample.sort((a, b) => a - b);
  const levels = [];
  for (let k = 0; k < count; ++k) {
    const v = sample[Math.floor(((k + 0.5) / count) * sample.length)];
    if (v !== undefined && v !== levels[levels.length - 1]) levels.push(v);
  }
  return levels;
}

function time(call) {
  const start = performance.now();
  const result = call();
  return [result, performance.now() - start];
}

function show(id, ms) { $(id).textContent = `${ms.toFixed(1)} ms`; }

function draw() {
  const { values, width, height } = field();
  const count = Math.max(1, Math.min(50, +$('levels').value || 10));
  const mode = $('mode').value;
  const list = quantiles(values, count);
  const [theirs, d3ms] = time(() => d3.contours().size([width, height]).thresholds(list)(values));
  show('d3-time', d3ms);
  if (mode === 'polygons') {
    const [ours, ms] = time(() => contours().size([width, height]).thresholds(list)(values));
    show('ours-time', ms);
    drawPolygons($('ours'), width, height, ours);
    drawPolygons($('d3'), width, height, theirs);
  } else if (mode === 'lines') {
    const [ours, ms] = time(() => isolines(values, width, height, list,
                                           { atLevel: 'above', origin: [0.5, 0.5] }));
    show('ours-time', ms);
    drawLines($('ours'), width, height, ours);
    strokePolygons($('d3'), width, height, theirs);
  } else if (list.length < 2) {
    status('Bands need at least two levels: ask for more.');
    return;
  } else {
    const [ours, ms] = time(() => isobands(values, width, height, list,
                                           { atLevel: 'above', origin: [0.5, 0.5], openBands: true }));
    show('ours-time', ms);
    drawBands($('ours'), width, height, ours);
    drawPolygons($('d3'), width, height, theirs);
  }
  status(`${width} x ${height} values, ${list.length} levels.`);
  document.body.dataset.draws = String(+(document.body.dataset.draws || 0) + 1);
}

function redraw() {
  try {
    draw();
    document.body.dataset.state = 'ready';
  } catch (e) {
    document.body.dataset.state = 'failed';
    status(`Cannot draw: ${e.message}`);
  }
}

$('file').addEventListener('change', async () => {
  const file = $('file').files[0];
  if (!file) return;
  try {
    uploaded = file.name.endsWith('.npy') ? readNpy(await file.arrayBuffer()) : await readImage(file);
    redraw();
  } catch (e) {
    status(`Cannot read ${file.name}: ${e.message}`);
  }
});
$('field').addEventListener('change', () => {
  if ($('field').value === 'file' && !uploaded) $('file').click();
  else redraw();
});
for (const id of ['size', 'levels', 'mode']) $(id).addEventListener('change', redraw);
$('simd').textContent = simd ? ', SIMD' : '';
redraw();
