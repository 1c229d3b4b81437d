// Runs the package's benchmark (timing.mjs) on the fields web_peers.py wrote, in Node and then
// in headless Chromium on the same arrays, and prints one table per environment.
// Usage: node bench/web/run.mjs DIR [--runs N] [--peer-runs N] [--no-browser]
// DIR holds fields.json ([{ name, size, file, levels: [[one], [ten]] }]) and the .npy files.
import { copyFileSync, readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { measure } from './timing.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const args = process.argv.slice(2);
const dir = resolve(args[0]);
const option = (name, fallback) => (args.includes(name) ? +args[args.indexOf(name) + 1] : fallback);
const runs = option('--runs', 5), peerRuns = option('--peer-runs', 1);
const fields = JSON.parse(readFileSync(join(dir, 'fields.json'), 'utf8'));
const npm = join(root, 'isocontour/js/node_modules');
const web = join(root, 'build-web');

// A float32 .npy of shape (rows, cols), C order, as numpy writes it.
function readNpy(bytes) {
  const length = bytes.readUInt16LE(8);
  const header = bytes.toString('latin1', 10, 10 + length);
  const [, rows, cols] = /\((\d+), (\d+)\)/.exec(header);
  const data = bytes.buffer.slice(bytes.byteOffset + 10 + length, bytes.byteOffset + bytes.length);
  return { values: new Float32Array(data), width: +cols, height: +rows };
}

function table(title, results) {
  console.log(`\n${title}\n`);
  const head = ['field', 'size', 'levels', 'd3-contour', 'ours contours()', 'x', 'ours isolines()', 'x',
                'ours isobands()', 'x', 'ms isoLines()', 'ms isoBands()'];
  console.log(`| ${head.join(' | ')} |`);
  console.log(`|${head.map(() => '---:').join('|')}|`);
  for (const { name, size, levels, rows } of results) {
    const t = Object.fromEntries(rows.map(r => [r.call, r.ms]));
    const d3 = t['d3-contour contours()'];
    const f = ms => (ms < 10 ? ms.toFixed(2) : ms.toFixed(0));
    const x = ms => `${(d3 / ms).toFixed(0)}x`;
    console.log(`| ${[name, `${size}²`, levels, f(d3), f(t['ours contours()']), x(t['ours contours()']),
      f(t['ours isolines()']), x(t['ours isolines()']), f(t['ours isobands()']), x(t['ours isobands()']),
      f(t['marchingsquares isoLines()']), f(t['marchingsquares isoBands()'])].join(' | ')} |`);
  }
}

// Node.
const ic = await import(pathToFileURL(join(web, 'isocontour-js/src/node.js')).href);
const d3 = await import(pathToFileURL(join(npm, 'd3-contour/dist/d3-contour.mjs')).href);
const ms = (await import(pathToFileURL(join(npm, 'marchingsquares/dist/marchingsquares-esm.js')).href));
const nodeResults = [];
for (const f of fields) {
  const field = readNpy(readFileSync(join(dir, f.file)));
  for (const levels of f.levels)
    nodeResults.push({ name: f.name, size: f.size, levels: levels.length,
                       rows: measure({ ic, d3, ms }, field, levels, runs, peerRuns) });
}
table(`Node ${process.version} (ms, median of ${runs} runs of ours, ${peerRuns} of the peers)`, nodeResults);

if (!args.includes('--no-browser')) {
  // Chromium: the same module in a page, the fields fetched from DIR (served at /ref/).
  const { launch, serve } = await import(pathToFileURL(join(root, 'tests/e2e/web/browser.mjs')).href);
  copyFileSync(join(root, 'bench/web/timing.mjs'), join(dir, 'timing.js'));
  try { symlinkSync(npm, join(dir, 'node_modules')); } catch { /* there from an earlier run */ }
  writeFileSync(join(dir, 'bench.html'), `<!doctype html><meta charset="utf-8">
<script type="importmap">{ "imports": {
  "d3-array": "/contours/vendor/d3-array.mjs", "d3-contour": "/contours/vendor/d3-contour.mjs",
  "isocontour": "/isocontour-js/src/index.js",
  "marchingsquares": "/ref/node_modules/marchingsquares/dist/marchingsquares-esm.js" } }</script>
<script type="module">
  import * as ic from 'isocontour';
  import * as d3 from 'd3-contour';
  import * as ms from 'marchingsquares';
  import { measure } from '/ref/timing.js';
  window.run = async (file, levels, runs, peerRuns) => {
    const bytes = await (await fetch('/ref/' + file)).arrayBuffer();
    const length = new DataView(bytes).getUint16(8, true);
    const header = new TextDecoder().decode(new Uint8Array(bytes, 10, length));
    const [, rows, cols] = /\\((\\d+), (\\d+)\\)/.exec(header);
    const field = { values: new Float32Array(bytes, 10 + length), width: +cols, height: +rows };
    return measure({ ic, d3, ms }, field, levels, runs, peerRuns);
  };
  document.body.dataset.state = 'ready';
</script><body data-state="loading">`);
  const server = await serve(web, dir);
  const browser = await launch();
  try {
    const page = await browser.newPage();
    page.on('pageerror', e => console.error(`page: ${e.message}`));
    await page.goto(`${server.url}ref/bench.html`);
    await page.waitForFunction(() => document.body.dataset.state === 'ready', { timeout: 30000 });
    const version = await browser.version();
    const results = [];
    for (const f of fields)
      for (const levels of f.levels)
        results.push({ name: f.name, size: f.size, levels: levels.length,
                       rows: await page.evaluate((file, l, r, p) => window.run(file, l, r, p),
                                                 f.file, levels, runs, peerRuns) });
    table(`${version}, headless (ms, median of ${runs} runs of ours, ${peerRuns} of the peers)`, results);
  } finally {
    await browser.close();
    await server.close();
  }
}
