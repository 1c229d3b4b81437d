// Shared pieces of the browser tests: a static server for the built page and the reference
// pictures, Debian's Chromium headless through puppeteer-core, and pixel checks that run in
// the page (the canvas is read back exactly; a PNG is decoded without colour conversion).
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import puppeteer from 'puppeteer-core';

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript',
  '.wasm': 'application/wasm',
  '.png': 'image/png', '.csv': 'text/plain',
};

// Serves webDir at / and refDir at /ref/ on 127.0.0.1; resolves to { url, close }.
export function serve(webDir, refDir) {
  const server = createServer((req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const [root, rest] = path.startsWith('/ref/') ? [refDir, path.slice(5)] : [webDir, path.slice(1)];
    const file = join(root, normalize(rest || 'index.html').replace(/^(\.\.[/\\])+/, ''));
    try {
      const body = readFileSync(file);
      res.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
      res.end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve({
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise(done => server.close(done)),
  })));
}

// Chromium with the flags the project's tests use, an empty profile and no network of its own.
export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'gradient-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    ignoreDefaultArgs: true,
    pipe: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank'],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => { await close(); rmSync(profile, { recursive: true, force: true }); };
  return browser;
}

// A new page whose console errors and uncaught exceptions land in errors.
export async function openPage(browser, url, errors) {
  const page = await browser.newPage();
  await page.setViewport({ width: 840, height: 760 });
  page.on('console', m => { if (m.type() === 'error') errors.push(`${url}: ${m.text()}`); });
  page.on('pageerror', e => errors.push(`${url}: ${e.message}`));
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.state !== 'loading', { timeout: 20000 });
  return page;
}

export const framesShown = page => page.evaluate(() => Module.framesShown || 0);

// Waits until the page has shown n more frames.
export async function waitFrames(page, n) {
  const start = await framesShown(page);
  await page.waitForFunction((s, k) => (Module.framesShown || 0) >= s + k, { timeout: 20000 },
                             start, n);
}

// The canvas against a reference PNG under /ref/, over the rectangle (x, y, w, h). With
// darkest, each pixel is reduced to its darkest channel first: the white text keeps its
// coverage whatever red or blue it was drawn over, so text can be compared while the picture
// under it moves. Returns the number of differing pixels and the first one.
export function compareWithRef(page, ref, rect = [0, 0, 800, 600], darkest = false) {
  return page.evaluate(async (ref, [x, y, w, h], darkest) => {
    const blob = await (await fetch('/ref/' + ref)).blob();
    const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none',
                                                   premultiplyAlpha: 'none' });
    const off = new OffscreenCanvas(bitmap.width, bitmap.height);
    const oc = off.getContext('2d');
    oc.drawImage(bitmap, 0, 0);
    const want = oc.getImageData(x, y, w, h).data;
    const got = document.getElementById('canvas').getContext('2d').getImageData(x, y, w, h).data;
    const value = (d, i, c) => darkest ? Math.min(d[i], d[i + 1], d[i + 2]) : d[i + c];
    let count = 0, first = null;
    for (let i = 0; i < want.length; i += 4) {
      for (let c = 0; c < (darkest ? 1 : 3); ++c) {
        if (value(got, i, c) !== value(want, i, c)) {
          if (!first) first = { x: x + (i / 4) % w, y: y + Math.floor(i / 4 / w),
                                got: [got[i], got[i + 1], got[i + 2]],
                                want: [want[i], want[i + 1], want[i + 2]] };
          ++count;
          break;
        }
      }
    }
    return { count, first };
  }, ref, rect, darkest);
}

// A digest of the canvas's pixels, to tell frames apart.
export const canvasDigest = page => page.evaluate(() => {
  const d = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 800, 600).data;
  let h = 2166136261;
  for (let i = 0; i < d.length; ++i) h = Math.imul(h ^ d[i], 16777619);
  return h >>> 0;
});
