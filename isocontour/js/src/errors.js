// The package's one error: every refusal (bad sizes, levels, options) with the library's message.

/** Thrown for bad arguments, with the library's one-line message. */
export class IsocontourError extends Error {
  constructor(message) {
    super(message);
    this.name = 'IsocontourError';
  }
}
