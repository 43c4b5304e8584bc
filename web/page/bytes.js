// A command file's bytes as the text a <textarea> shows, and back. The file
// may hold anything (CR, CRLF, NUL, a byte-order mark, bytes that are not
// UTF-8); the text is what the browser makes of it, and after an edit every
// part the user left alone gets its original bytes back, byte for byte.

// One character read at bytes[i] by the UTF-8 decoder of the WHATWG encoding
// standard: its code point times 8 plus the number of bytes it took. A byte
// sequence that is not valid (a stray byte, an overlong form, a surrogate,
// past U+10FFFF, or one cut short) reads as kInvalid over its longest valid
// beginning, at least one byte; the byte that broke it starts the next one.
const kInvalid = 0x110000;

function readChar(bytes, i) {
  const b = bytes[i];
  if (b < 0x80) return b * 8 + 1;
  let need, code, lower = 0x80, upper = 0xbf;
  if (b >= 0xc2 && b <= 0xdf) {
    need = 1;
    code = b & 0x1f;
  } else if (b >= 0xe0 && b <= 0xef) {
    need = 2;
    code = b & 0x0f;
    if (b === 0xe0) lower = 0xa0;  // below: overlong
    if (b === 0xed) upper = 0x9f;  // above: surrogates
  } else if (b >= 0xf0 && b <= 0xf4) {
    need = 3;
    code = b & 0x07;
    if (b === 0xf0) lower = 0x90;  // below: overlong
    if (b === 0xf4) upper = 0x8f;  // above: past U+10FFFF
  } else {
    return kInvalid * 8 + 1;
  }
  let j = i + 1;
  for (; need > 0; need--, j++) {
    const c = bytes[j];  // undefined past the end, which fails the test too
    if (!(c >= lower && c <= upper)) return kInvalid * 8 + (j - i);
    code = (code << 6) | (c & 0x3f);
    lower = 0x80;
    upper = 0xbf;
  }
  return code * 8 + (j - i);
}

// The range a byte after the character bytes[start..end) would have to be in
// to become part of it, as [lower, upper], or null when nothing can join it:
// a lone CR joins a following LF, and a sequence cut short joins the byte it
// still lacks. Where the decoder stood at a character's end is read from the
// character's own bytes, since it only ever began there.
function joinedBy(bytes, start, end) {
  const b = bytes[start], had = end - start - 1;
  if (b === 0x0d) return had === 0 ? [0x0a, 0x0a] : null;
  const need = b >= 0xf0 && b <= 0xf4 ? 3 : b >= 0xe0 && b <= 0xef ? 2 : b >= 0xc2 && b <= 0xdf ? 1 : 0;
  if (had >= need) return null;
  if (had > 0) return [0x80, 0xbf];
  return b === 0xe0 ? [0xa0, 0xbf] : b === 0xed ? [0x80, 0x9f] : b === 0xf0 ? [0x90, 0xbf] : b === 0xf4 ? [0x80, 0x8f] : [0x80, 0xbf];
}

// The text of the bytes and where each of its characters came from:
// character c is text[textAt[c] .. textAt[c + 1]) (two units for a code
// point past U+FFFF) and bytes[byteAt[c] .. byteAt[c + 1]) (CRLF is one
// character, LF, of two bytes).
function decode(bytes) {
  const n = bytes.length;
  const units = new Uint16Array(n);  // never more units than bytes
  const textAt = new Int32Array(n + 1), byteAt = new Int32Array(n + 1);
  let u = 0, c = 0, i = 0;
  while (i < n) {
    textAt[c] = u;
    byteAt[c++] = i;
    const read = readChar(bytes, i);
    let code = read >>> 3;
    i += read & 7;
    if (code === 0x0d) {
      code = 0x0a;
      if (bytes[i] === 0x0a) i++;
    } else if (code === kInvalid) {
      code = 0xfffd;
    }
    if (code > 0xffff) {
      units[u++] = 0xd800 + ((code - 0x10000) >> 10);
      units[u++] = 0xdc00 + ((code - 0x10000) & 0x3ff);
    } else {
      units[u++] = code;
    }
  }
  textAt[c] = u;
  byteAt[c] = n;
  const parts = [];
  for (let k = 0; k < u; k += 8192) parts.push(String.fromCharCode.apply(null, units.subarray(k, Math.min(u, k + 8192))));
  return { text: parts.join(""), textAt, byteAt, count: c };
}

/**
 * The text a textarea shows for the bytes: UTF-8 decoded as
 * new TextDecoder("utf-8", { ignoreBOM: true }) decodes (a leading byte-order
 * mark kept as U+FEFF, each maximal invalid subpart as one U+FFFD), with CRLF
 * and lone CR turned into LF as a textarea's value has them.
 */
export function textOf(bytes) {
  return decode(bytes).text;
}

/**
 * The bytes after an edit. before is textOf(original), after the edited text
 * (a textarea's value: any CR in it is taken as a line break). The longest
 * common prefix and suffix keep their original bytes; only the middle between
 * them is UTF-8 encoded, line breaks as LF. The middle takes whole characters:
 * where the prefix would end inside one it ends before it, and where its last
 * character would join the next byte (a lone CR before a new LF, a sequence
 * cut short before a byte that completes it) that character is re-encoded
 * too, so textOf of the result is after. An unchanged text returns original
 * itself.
 */
export function bytesAfterEdit(original, before, after) {
  if (after === before) return original;
  const { text, textAt, byteAt, count } = decode(original);
  if (text !== before) throw new RangeError("bytesAfterEdit: before is not the text of the original bytes");
  const most = Math.min(before.length, after.length);
  let same = 0;
  while (same < most && before.charCodeAt(same) === after.charCodeAt(same)) same++;
  let sameEnd = 0;
  while (sameEnd < most - same &&
         before.charCodeAt(before.length - 1 - sameEnd) === after.charCodeAt(after.length - 1 - sameEnd)) sameEnd++;

  // head: characters kept at the start; tail: the first character kept at the end.
  let head = firstAtOrAfter(textAt, count, same);
  if (textAt[head] > same) head--;
  const tail = firstAtOrAfter(textAt, count, before.length - sameEnd);
  const middleEnd = after.length - (before.length - textAt[tail]);
  for (; head > 0; head--) {
    // The first byte after the kept start: the middle's, else the kept end's.
    let next = -1;
    if (textAt[head] < middleEnd) {
      const unit = after.charCodeAt(textAt[head]);
      next = unit === 0x0d ? 0x0a : unit < 0x80 ? unit : 0xc2;  // 0xc2: any byte that begins a character
    } else if (tail < count) {
      next = original[byteAt[tail]];
    }
    const range = next < 0 ? null : joinedBy(original, byteAt[head - 1], byteAt[head]);
    if (!range || next < range[0] || next > range[1]) break;
  }

  const middle = new TextEncoder().encode(after.slice(textAt[head], middleEnd).replace(/\r\n?/g, "\n"));
  const keptStart = byteAt[head], keptEnd = byteAt[tail];
  const out = new Uint8Array(keptStart + middle.length + (original.length - keptEnd));
  out.set(original.subarray(0, keptStart), 0);
  out.set(middle, keptStart);
  out.set(original.subarray(keptEnd), keptStart + middle.length);
  return out;
}

// The least c in 0..count with at[c] >= value (at is increasing).
function firstAtOrAfter(at, count, value) {
  let lo = 0, hi = count;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (at[mid] < value) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}
