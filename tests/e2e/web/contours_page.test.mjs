// The isocontour package's page in headless Chromium: it loads the package's module, draws the
// demo's charges with our contours() and with d3-contour's, pixel for pixel the same picture,
// then lines, bands, smoothed noise and an uploaded .npy file, each with its time, and logs no
// console error. Usage: WEB_DIR=build-web node --test <this file>
// (GRADIENT_CONTOURS_SCREENSHOT=FILE also saves the page.)
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { launch, serve } from './browser.mjs';

const webDir = resolve(process.env.WEB_DIR || 'build-web');
const scratch = mkdtempSync(join(tmpdir(), 'contours-page-'));
let server, browser, page;
const errors = [];

before(async () => {
  server = await serve(webDir, scratch);
  browser = await launch();
  page = await browser.newPage();
  await page.setViewport({ width: 900, height: 700 });
  page.on('console', m => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', e => errors.push(e.message));
  await page.goto(`${server.url}contours/index.html`);
  await page.waitForFunction(() => document.body.dataset.state !== 'loading', { timeout: 30000 });
});

after(async () => {
  await browser?.close();
  await server?.close();
  rmSync(scratch, { recursive: true, force: true });
});

// Both canvases' pixels: how many differ, and how many of ours are not the black background.
const canvases = () => page.evaluate(() => {
  const pixels = id => document.getElementById(id).getContext('2d').getImageData(0, 0, 800, 800).data;
  const a = pixels('ours'), b = pixels('d3');
  let differ = 0, drawn = 0;
  for (let i = 0; i < a.length; i += 4) {
    if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) ++differ;
    if (a[i] || a[i + 1] || a[i + 2]) ++drawn;
  }
  return { differ, drawn };
});

const state = () => page.evaluate(() => ({
  state: document.body.dataset.state, draws: +document.body.dataset.draws || 0,
  ours: document.getElementById('ours-time').textContent,
  d3: document.getElementById('d3-time').textContent,
  status: document.getElementById('status').textContent,
}));

// Sets a control and waits for the picture it asks for.
async function choose(id, value) {
  const before = (await state()).draws;
  await page.select(`#${id}`, value);
  await page.waitForFunction(n => +document.body.dataset.draws > n || document.body.dataset.state === 'failed',
                             { timeout: 60000 }, before);
  const s = await state();
  assert.equal(s.state, 'ready', s.status);
  assert.match(s.ours, /^\d+\.\d ms$/);
  assert.match(s.d3, /^\d+\.\d ms$/);
  return s;
}

test('the page draws the charges with ours and with d3-contour: the same picture', async () => {
  const s = await state();
  assert.equal(s.state, 'ready', s.status);
  const c = await canvases();
  assert.ok(c.drawn > 100000, `${c.drawn} pixels drawn`);
  assert.equal(c.differ, 0, 'ours and d3-contour\'s pictures differ');
  await choose('size', '200');
  assert.equal((await canvases()).differ, 0, 'at 200 x 200');
  if (process.env.GRADIENT_CONTOURS_SCREENSHOT)
    await page.screenshot({ path: process.env.GRADIENT_CONTOURS_SCREENSHOT });
});

test('lines, bands, noise and an uploaded .npy file draw with their times', async () => {
  await choose('mode', 'lines');
  assert.ok((await canvases()).drawn > 1000);
  await choose('mode', 'bands');
  assert.ok((await canvases()).drawn > 100000);
  await choose('field', 'noise');
  assert.ok((await canvases()).drawn > 100000);
  // A 3 x 4 float64 file: a peak in the middle row.
  const header = "{'descr': '<f8', 'fortran_order': False, 'shape': (3, 4), }";
  const padded = header + ' '.repeat(63 - ((header.length + 10) % 64)) + '\n';
  const head = Buffer.from([0x93, ...Buffer.from('NUMPY'), 1, 0, padded.length & 255, padded.length >> 8]);
  const body = Buffer.from(new Float64Array([0, 0, 0, 0, 0, 3, 2, 0, 0, 0, 0, 0]).buffer);
  const file = join(scratch, 'peak.npy');
  writeFileSync(file, Buffer.concat([head, Buffer.from(padded, 'latin1'), body]));
  const before = (await state()).draws;
  await page.select('#mode', 'polygons');
  await page.waitForFunction(n => +document.body.dataset.draws > n, {}, before);
  const input = await page.$('#file');
  await page.evaluate(() => { document.getElementById('field').value = 'file'; });
  await input.uploadFile(file);
  await page.waitForFunction(() => /^4 x 3 values/.test(document.getElementById('status').textContent),
                             { timeout: 20000 });
  const c = await canvases();
  assert.ok(c.drawn > 1000 && c.differ === 0, JSON.stringify(c));
  assert.deepEqual(errors, []);
});
