// The page's fields: the demo's three charges, smoothed noise, and fields read from a .npy file
// or a greyscale image. Each is { values: Float32Array|Float64Array, width, height }, value (i, j)
// at values[i + j * width].

/** The demo's charge field at t = 1.3 s on an n x n grid over its 79 x 79 units, in float32. */
export function charges(n, t = 1.3) {
  const f = Math.fround;
  const t2 = f(t + t), s1 = f(Math.sin(t)), c1 = f(Math.cos(t)), s2 = f(Math.sin(t2)),
        c2 = f(Math.cos(t2));
  const at = [[f(40 + f(s1 * 20)), f(40 + f(c1 * 20))], [f(40 + f(s2 * 5)), f(40 + f(c1 * 5))],
              [f(40 + f(s1 * 25)), f(40 + f(c2 * 25))]];
  const spacing = f(79 / (n - 1));
  const values = new Float32Array(n * n);
  for (let a = 0; a < n; ++a)
    for (let b = 0; b < n; ++b) {
      let total = 0;
      for (const [cx, cy] of at) {
        const dx = f(f(a * spacing) - cx), dy = f(f(b * spacing) - cy);
        total = f(total + f(f(1 / f(Math.sqrt(f(f(dx * dx) + f(dy * dy))))) * 3));
      }
      values[a * n + b] = total;
    }
  return { values, width: n, height: n };
}

/** Uniform noise (seeded) smoothed by three box blurs of radius n / 60, in float32. */
export function noise(n, seed = 12345) {
  let a = seed >>> 0;
  const rand = () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = Math.imul(a ^ (a >>> 15), a | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  let v = Float32Array.from({ length: n * n }, () => rand() - 0.5);
  const r = Math.max(1, Math.round(n / 60));
  for (let pass = 0; pass < 3; ++pass)
    for (const along of [1, n]) v = boxBlur(v, n, r, along);
  return { values: v, width: n, height: n };
}

// A running-sum box blur along rows (step 1) or columns (step n) of an n x n grid.
function boxBlur(v, n, r, step) {
  const out = new Float32Array(n * n);
  const across = step === 1 ? n : 1;
  for (let line = 0; line < n; ++line) {
    const base = line * across;
    let sum = 0, count = 0;
    for (let k = 0; k < r && k < n; ++k) sum += v[base + k * step], ++count;
    for (let k = 0; k < n; ++k) {
      if (k + r < n) sum += v[base + (k + r) * step], ++count;
      if (k - r - 1 >= 0) sum -= v[base + (k - r - 1) * step], --count;
      out[base + k * step] = sum / count;
    }
  }
  return out;
}

/** A 2-D .npy file (float32 or float64, little-endian, C order). */
export function readNpy(buffer) {
  const bytes = new Uint8Array(buffer);
  if (String.fromCharCode(...bytes.subarray(1, 6)) !== 'NUMPY') throw new Error('not a .npy file');
  const long = bytes[6] >= 2;
  const headerLength = long ? new DataView(buffer).getUint32(8, true) : new DataView(buffer).getUint16(8, true);
  const start = (long ? 12 : 10) + headerLength;
  const header = new TextDecoder().decode(bytes.subarray(long ? 12 : 10, start));
  const descr = /'descr':\s*'([^']+)'/.exec(header)?.[1];
  const shape = /'shape':\s*\((\d+),\s*(\d+)\)/.exec(header);
  if (!shape || /True/.test(/'fortran_order':\s*(\w+)/.exec(header)?.[1] ?? ''))
    throw new Error('a 2-D array in C order is needed');
  const [height, width] = [+shape[1], +shape[2]];
  const Type = { '<f4': Float32Array, '<f8': Float64Array }[descr];
  if (!Type) throw new Error(`float32 or float64 values are needed, not ${descr}`);
  const values = new Type(buffer.slice(start, start + width * height * Type.BYTES_PER_ELEMENT));
  return { values, width, height };
}

/** An image's brightness (0 to 1), its first row at the top. */
export async function readImage(blob) {
  const bitmap = await createImageBitmap(blob);
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const context = canvas.getContext('2d');
  context.drawImage(bitmap, 0, 0);
  const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
  const values = new Float32Array(bitmap.width * bitmap.height);
  for (let k = 0; k < values.length; ++k)
    values[k] = (0.2126 * rgba[4 * k] + 0.7152 * rgba[4 * k + 1] + 0.0722 * rgba[4 * k + 2]) / 255;
  return { values, width: bitmap.width, height: bitmap.height };
}
