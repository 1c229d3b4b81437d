// Drawing on the page's canvases: d3's MultiPolygons, the flat lines and the flat bands, in
// d3's pixel coordinates (a grid of width x height pixels) scaled to the canvas.

const stops = [[68, 1, 84], [59, 82, 139], [33, 145, 140], [94, 201, 98], [253, 231, 37]];

/** The colour of step k of count, dark to light. */
export function colour(k, count) {
  const t = count > 1 ? k / (count - 1) : 0.5, x = t * (stops.length - 1);
  const i = Math.min(stops.length - 2, Math.floor(x)), f = x - i;
  const c = stops[i].map((v, j) => Math.round(v + (stops[i + 1][j] - v) * f));
  return `rgb(${c[0]}, ${c[1]}, ${c[2]})`;
}

function begin(canvas, width, height) {
  const context = canvas.getContext('2d');
  context.setTransform(1, 0, 0, 1, 0, 0);
  context.fillStyle = '#000';
  context.fillRect(0, 0, canvas.width, canvas.height);
  context.setTransform(canvas.width / width, 0, 0, canvas.height / height, 0, 0);
  context.lineWidth = width / canvas.width;
  return context;
}

function ring(context, points, from, to) {
  context.moveTo(points[2 * from], points[2 * from + 1]);
  for (let k = from + 1; k < to; ++k) context.lineTo(points[2 * k], points[2 * k + 1]);
  context.closePath();
}

/** d3's MultiPolygons, each threshold's filled over the last (as d3's examples draw them). */
export function drawPolygons(canvas, width, height, multipolygons) {
  const context = begin(canvas, width, height);
  multipolygons.forEach((c, k) => {
    context.beginPath();
    for (const polygon of c.coordinates)
      for (const r of polygon) {
        context.moveTo(r[0][0], r[0][1]);
        for (let i = 1; i < r.length; ++i) context.lineTo(r[i][0], r[i][1]);
        context.closePath();
      }
    context.fillStyle = colour(k, multipolygons.length);
    context.fill();
  });
}

/** d3's MultiPolygons as outlines: d3's only lines. */
export function strokePolygons(canvas, width, height, multipolygons) {
  const context = begin(canvas, width, height);
  multipolygons.forEach((c, k) => {
    context.beginPath();
    for (const polygon of c.coordinates)
      for (const r of polygon) {
        context.moveTo(r[0][0], r[0][1]);
        for (let i = 1; i < r.length; ++i) context.lineTo(r[i][0], r[i][1]);
      }
    context.strokeStyle = colour(k, multipolygons.length);
    context.stroke();
  });
}

/** The flat lines, one colour per level. */
export function drawLines(canvas, width, height, lines) {
  const context = begin(canvas, width, height);
  const { points, offsets, levelOffsets } = lines;
  for (let m = 0; m + 1 < levelOffsets.length; ++m) {
    context.beginPath();
    for (let k = levelOffsets[m]; k < levelOffsets[m + 1]; ++k) {
      context.moveTo(points[2 * offsets[k]], points[2 * offsets[k] + 1]);
      for (let i = offsets[k] + 1; i < offsets[k + 1]; ++i) context.lineTo(points[2 * i], points[2 * i + 1]);
    }
    context.strokeStyle = colour(m, levelOffsets.length - 1);
    context.stroke();
  }
}

/** The flat bands, one colour per band. */
export function drawBands(canvas, width, height, bands) {
  const context = begin(canvas, width, height);
  const { points, ringOffsets, polygonOffsets, bandOffsets } = bands;
  for (let b = 0; b + 1 < bandOffsets.length; ++b) {
    context.beginPath();
    for (let p = bandOffsets[b]; p < bandOffsets[b + 1]; ++p)
      for (let r = polygonOffsets[p]; r < polygonOffsets[p + 1]; ++r)
        ring(context, points, ringOffsets[r], ringOffsets[r + 1]);
    context.fillStyle = colour(b, bandOffsets.length - 1);
    context.fill();
  }
}
