// The run in the page's address: the command file and the step shown ride in
// the fragment (#step=K&run=PACKED), so a link reproduces what is shown. A
// fragment never leaves the browser: nothing here is sent anywhere. PACKED is
// the command file compressed by the browser's own CompressionStream, in
// base64url without padding.

/**
 * The longest fragment the page offers as a link. A link opened from a mail
 * or chat program on Windows reaches the browser on its command line, which
 * holds at most 32,767 characters, address and all; browsers themselves keep
 * far longer addresses (Chromium up to 2 MB), so this is the tighter bound.
 * Longer runs are not offered in a link at all rather than as one that some
 * tool cuts short (which unpackRun would only report as damaged).
 */
export const kLinkMostChars = 32000;

// zlib's format rather than raw deflate: raw deflate has no check, and most
// single changed characters in a raw-deflated run still unpack, to a different
// run; zlib's Adler-32 turns them into an error, for 6 bytes more.
const kFormat = "deflate";

const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
const kValueOf = new Int8Array(128).fill(-1);
for (let i = 0; i < 64; i++) kValueOf[kAlphabet.charCodeAt(i)] = i;

/** What unpackRun throws; its message is fit to show as it is. */
export class LinkError extends Error {
  constructor(message) {
    super(message);
    this.name = "LinkError";
  }
}

/** Uint8Array -> the run as it rides in a link. */
export async function packRun(bytes) {
  return toBase64url(await through(bytes, new CompressionStream(kFormat)));
}

/** The run a link carries -> its bytes; throws LinkError saying what is wrong. */
export async function unpackRun(text) {
  if (typeof text !== "string") throw new TypeError("unpackRun: the packed run must be a string");
  if (text === "") throw new LinkError("The link's run is empty: there is nothing after run=.");
  const packed = fromBase64url(text);
  if (!startsLikeZlib(packed)) {
    throw new LinkError("The link's run is not a packed command file: it does not begin as one does.");
  }
  try {
    return await through(packed, new DecompressionStream(kFormat));
  } catch {
    throw new LinkError("The link's run is damaged (cut short or changed on the way): it does not unpack.");
  }
}

/** { step, run } -> "#step=K" or "#step=K&run=PACKED". */
export function fragmentFor({ step, run }) {
  if (!Number.isSafeInteger(step) || step < 0) throw new RangeError(`fragmentFor: step ${step} is not a whole number`);
  if (run === undefined) return `#step=${step}`;
  // Anything else could end the value early (& or #) or be altered on the way.
  if (typeof run !== "string" || !/^[A-Za-z0-9_-]+$/.test(run)) {
    throw new RangeError("fragmentFor: run must be a packed run (base64url)");
  }
  return `#step=${step}&run=${run}`;
}

/**
 * "#step=12&run=..." -> { step, run, problem }. step is a whole number written
 * in decimal digits, else undefined with problem saying why; run is the text
 * as it is (unpackRun judges it). Unknown keys are ignored; of a repeated key
 * the last counts, as a link edited by appending reads.
 */
export function readFragment(hash) {
  const body = hash.startsWith("#") ? hash.slice(1) : hash;
  let stepText, run;
  for (const part of body.split("&")) {
    const eq = part.indexOf("=");
    const key = eq < 0 ? part : part.slice(0, eq);
    const value = eq < 0 ? "" : part.slice(eq + 1);
    if (key === "step") stepText = value;
    else if (key === "run") run = value;
  }
  let step, problem;
  if (stepText === "") {
    problem = "The address names no step: there is nothing after step=.";
  } else if (stepText !== undefined) {
    const shown = stepText.length > 24 ? stepText.slice(0, 24) + "…" : stepText;
    if (!/^[0-9]+$/.test(stepText)) {
      problem = `The step in the address, "${shown}", is not a whole number written in digits.`;
    } else if (Number(stepText) > Number.MAX_SAFE_INTEGER) {
      problem = `The step in the address, ${shown}, is too large to be a step.`;
    } else {
      step = Number(stepText);
    }
  }
  return { step, run, problem };
}

async function through(bytes, transform) {
  const out = new Blob([bytes]).stream().pipeThrough(transform);
  return new Uint8Array(await new Response(out).arrayBuffer());
}

// A zlib stream opens with two bytes: method 8 (deflate) with a window of at
// most 32 KB, no preset dictionary, and the pair a multiple of 31.
function startsLikeZlib(bytes) {
  return bytes.length >= 2 && (bytes[0] & 0x0f) === 8 && bytes[0] >> 4 <= 7 &&
    (bytes[1] & 0x20) === 0 && ((bytes[0] << 8) | bytes[1]) % 31 === 0;
}

function toBase64url(bytes) {
  const n = bytes.length, whole = n - (n % 3);
  const out = new Uint8Array(Math.ceil((n * 4) / 3));
  let o = 0;
  for (let i = 0; i < whole; i += 3) {
    const v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out[o++] = kAlphabet.charCodeAt(v >> 18);
    out[o++] = kAlphabet.charCodeAt((v >> 12) & 63);
    out[o++] = kAlphabet.charCodeAt((v >> 6) & 63);
    out[o++] = kAlphabet.charCodeAt(v & 63);
  }
  if (n - whole === 1) {
    out[o++] = kAlphabet.charCodeAt(bytes[whole] >> 2);
    out[o++] = kAlphabet.charCodeAt((bytes[whole] & 3) << 4);
  } else if (n - whole === 2) {
    const v = (bytes[whole] << 8) | bytes[whole + 1];
    out[o++] = kAlphabet.charCodeAt(v >> 10);
    out[o++] = kAlphabet.charCodeAt((v >> 4) & 63);
    out[o++] = kAlphabet.charCodeAt((v & 15) << 2);
  }
  return new TextDecoder().decode(out);
}

// Bits left over past the last whole byte are ignored, as base64 decoders do.
function fromBase64url(text) {
  const n = text.length;
  for (let i = 0; i < n; i++) {
    const c = text.charCodeAt(i);
    if (c >= 128 || kValueOf[c] < 0) {
      const shown = String.fromCodePoint(text.codePointAt(i));
      throw new LinkError(`The link's run is not base64url: "${shown}" at character ${i + 1} cannot be in it.`);
    }
  }
  if (n % 4 === 1) throw new LinkError("The link's run is cut short: no base64url text has its length.");
  const out = new Uint8Array(Math.floor((n * 3) / 4));
  let o = 0, acc = 0, bits = 0;
  for (let i = 0; i < n; i++) {
    acc = ((acc << 6) | kValueOf[text.charCodeAt(i)]) & 0xffffff;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out[o++] = (acc >> bits) & 0xff;
    }
  }
  return out;
}
