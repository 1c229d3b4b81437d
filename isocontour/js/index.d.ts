// Types of the isocontour package: the flat calls, d3-contour's API and the error.

/** Numbers of a grid, row-major: value (i, j) at values[i + j * width]. float32 arrays are
 * contoured in float32, anything else in float64 (null and undefined are NaN). */
export type Values = Float32Array | Float64Array | ArrayLike<number | null | undefined>;

/** The library's options, in the names the C++ library uses. */
export interface Options {
  /** Coordinates: one per column and one per row (width and height values), or one per node
   * each (width * height). Default: grid units, node (i, j) at (i, j). */
  x?: ArrayLike<number>;
  y?: ArrayLike<number>;
  /** Coordinates as node (0, 0)'s place and the distance between neighbours: node (i, j) at
   * (origin[0] + i * step[0], origin[1] + j * step[1]). Not with x and y. */
  origin?: [number, number];
  step?: [number, number];
  /** width * height entries; a truthy one removes its node and every cell touching it. */
  mask?: ArrayLike<number | boolean>;
  /** How a saddle cell is joined: its corners above the level (default), below, or as the mean
   * of its four corners says. */
  saddle?: 'above' | 'below' | 'centre' | 'center';
  /** Where a value exactly at a level falls: 'below' (default; bands are lower < z <= upper) or
   * 'above' (d3's rule; bands are lower <= z < upper). */
  atLevel?: 'below' | 'above';
  /** 'linear' (default) or 'log': crossings interpolated in log space (positive values only). */
  interpolation?: 'linear' | 'log';
  /** A cell with exactly one unusable corner (masked or NaN) is contoured as the triangle of
   * its other three. */
  cornerMask?: boolean;
  /** Return views into the module's memory instead of copies: valid only until the next call
   * of the package, and faster for large results. */
  borrow?: boolean;
}

/** Options of isolines(). */
export interface LineOptions extends Options {
  /** A unit normal towards lower values at every point. */
  normals?: boolean;
}

/** Options of isobands(). */
export interface BandOptions extends Options {
  /** Also the bands below the first level and above the last. */
  openBands?: boolean;
}

type Points = Float32Array | Float64Array;

/** Contour lines: line k is points[2 * offsets[k] .. 2 * offsets[k + 1]) (x, y interleaved),
 * closed when closed[k] is 1 (its last point then repeats its first); level m owns lines
 * levelOffsets[m] .. levelOffsets[m + 1]. Higher values lie on each line's left (x right, y up). */
export class Isolines {
  readonly points: Points;
  readonly normals: Points | null;
  readonly offsets: Uint32Array;
  readonly closed: Uint8Array;
  readonly levelOffsets: Uint32Array;
  readonly levels: Float64Array;
  readonly lineCount: number;
  readonly pointCount: number;
  /** Line k's points, x and y interleaved (a subarray of points). */
  line(k: number): Points;
  /** A FeatureCollection with one MultiLineString Feature per level (properties.level). */
  toGeoJSON(): GeoJSONCollection<'MultiLineString', number[][][], { level: number }>;
}

/** Filled bands as valid polygons: ring r is points[2 * ringOffsets[r] .. 2 * ringOffsets[r + 1]),
 * polygon p is rings polygonOffsets[p] .. polygonOffsets[p + 1] (its outer ring,
 * counter-clockwise with y up, then its holes, clockwise), band b is polygons bandOffsets[b] ..
 * bandOffsets[b + 1], between lower[b] and upper[b] (infinite for an open side). */
export class Isobands {
  readonly points: Points;
  readonly ringOffsets: Uint32Array;
  readonly polygonOffsets: Uint32Array;
  readonly bandOffsets: Uint32Array;
  readonly lower: Float64Array;
  readonly upper: Float64Array;
  readonly polygonCount: number;
  readonly pointCount: number;
  /** A FeatureCollection with one MultiPolygon Feature per band (properties.lower and
   * properties.upper, null for an open side). */
  toGeoJSON(): GeoJSONCollection<'MultiPolygon', number[][][][], { lower: number | null; upper: number | null }>;
}

export interface GeoJSONCollection<G extends string, C, P> {
  type: 'FeatureCollection';
  features: { type: 'Feature'; properties: P; geometry: { type: G; coordinates: C } }[];
}

/** The contour lines of each level, in the order given (any order, repeats allowed). Throws
 * IsocontourError for a NaN level, values shorter than width * height, or bad options. */
export function isolines(values: Values, width: number, height: number,
                         levels: number | ArrayLike<number>, options?: LineOptions): Isolines;

/** The filled bands between consecutive levels, which must rise strictly (at least two). Throws
 * IsocontourError as isolines() does and for levels that do not rise. */
export function isobands(values: Values, width: number, height: number,
                         levels: ArrayLike<number>, options?: BandOptions): Isobands;

/** A d3-contour MultiPolygon: the region where value >= the threshold. */
export interface ContourMultiPolygon {
  type: 'MultiPolygon';
  value: number;
  coordinates: number[][][][];
}

/** d3-contour's generator with d3's conventions, and bands besides. */
export interface Contours {
  /** One MultiPolygon per threshold, rising. */
  (values: ArrayLike<number | null | undefined>): ContourMultiPolygon[];
  /** The MultiPolygon of one threshold; throws Error("invalid value: ...") for a NaN one. */
  contour(values: ArrayLike<number | null | undefined>, threshold: number): ContourMultiPolygon;
  /** The filled bands between consecutive rising thresholds, in d3's pixel coordinates (value
   * i + j * n at (i + 0.5, j + 0.5)), a value at a threshold counting as above it. */
  bands(values: Values, thresholds: ArrayLike<number>, options?: BandOptions): Isobands;
  size(): [number, number];
  size(size: [number, number]): this;
  thresholds(): (values: ArrayLike<number>) => number | number[];
  thresholds(thresholds: number | number[] | ((values: ArrayLike<number>) => number | number[])): this;
  smooth(): boolean;
  smooth(smooth: boolean): this;
}

/** d3-contour's contours(): a generator with size [1, 1], Sturges' thresholds, smoothing on. */
export function contours(): Contours;

/** d3-contour's density estimator (d3's binning and blur), contoured by this library. */
export interface ContourDensity<Datum = [number, number]> {
  (data: Iterable<Datum>): ContourMultiPolygon[];
  contours(data: Iterable<Datum>): ((threshold: number) => ContourMultiPolygon) & { readonly max: number };
  x(): (d: Datum, i: number, data: Iterable<Datum>) => number;
  x(x: number | ((d: Datum, i: number, data: Iterable<Datum>) => number)): this;
  y(): (d: Datum, i: number, data: Iterable<Datum>) => number;
  y(y: number | ((d: Datum, i: number, data: Iterable<Datum>) => number)): this;
  weight(): (d: Datum, i: number, data: Iterable<Datum>) => number;
  weight(weight: number | ((d: Datum, i: number, data: Iterable<Datum>) => number)): this;
  size(): [number, number];
  size(size: [number, number]): this;
  cellSize(): number;
  cellSize(cellSize: number): this;
  thresholds(): (values: ArrayLike<number>) => number | number[];
  thresholds(thresholds: number | number[] | ((values: ArrayLike<number>) => number | number[])): this;
  bandwidth(): number;
  bandwidth(bandwidth: number): this;
}
export function contourDensity<Datum = [number, number]>(): ContourDensity<Datum>;

/** Every refusal of the package, with the library's one-line message. */
export class IsocontourError extends Error {}

/** True when this engine runs the package's SIMD module. */
export const simd: boolean;
