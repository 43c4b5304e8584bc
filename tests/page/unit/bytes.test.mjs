// A command file's bytes as editable text and back: the text is exactly what
// the browser shows, and an edit changes no byte outside what was edited.
import { test } from "node:test";
import assert from "node:assert/strict";
import { moduleDir, random } from "./support.mjs";

const { textOf, bytesAfterEdit } = await import(moduleDir + "bytes.js");

const pick = (rand, list) => list[Math.floor(rand() * list.length)];
const bytesOf = (...parts) => Uint8Array.from(parts.flatMap((p) => (typeof p === "string" ? [...Buffer.from(p, "latin1")] : p)));

// What a browser shows: the standard decoder, then a textarea's line breaks.
const shown = (bytes) => new TextDecoder("utf-8", { ignoreBOM: true }).decode(bytes).replace(/\r\n?/g, "\n");

// Bytes rich in what makes decoding hard: line breaks, a byte-order mark's
// bytes, every kind of lead and continuation byte, the bounds of each range.
function trickyBytes(rand, length) {
  const pool = [0x0d, 0x0a, 0xef, 0xbb, 0xbf, 0x00, 0x61, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xc0, 0xc1, 0xc2, 0xdf,
                0xe0, 0xed, 0xee, 0xf0, 0xf4, 0xf5, 0xff];
  return Uint8Array.from({ length }, () => (rand() < 0.8 ? pick(rand, pool) : Math.floor(rand() * 256)));
}

test("the text is what a browser shows", () => {
  const rand = random(1);
  for (let round = 0; round < 20_000; round++) {
    const bytes = trickyBytes(rand, Math.floor(rand() * 24));
    if (textOf(bytes) !== shown(bytes)) assert.fail(`bytes ${Buffer.from(bytes).toString("hex")}`);
  }
  const big = Uint8Array.from({ length: 1 << 20 }, () => Math.floor(rand() * 256));
  assert.equal(textOf(big), shown(big));
  assert.equal(textOf(bytesOf([0xef, 0xbb, 0xbf], "a\r\r\nb\0")), "\ufeffa\n\nb\0");
});

test("an edit changes no byte outside what was edited", async (t) => {
  // A file made of pieces whose bytes and text are known apart from the
  // decoder, placed so that no piece joins the next (no CR before LF, no
  // sequence cut short before a byte that would complete it).
  const pieces = [
    ["a", "a"], ["b", "b"], ["\r\n", "\n"], ["\r", "\n"], ["\n", "\n"], ["\0", "\0"], [[0xef, 0xbb, 0xbf], "\ufeff"],
    [[0xc3, 0xa9], "é"], [[0xf0, 0x9f, 0x98, 0x80], "😀"], [[0xf0, 0x9f, 0x98, 0x81], "😁"], [[0xff], "\ufffd"], [[0xc3], "\ufffd"],
    [[0xe2, 0x82], "\ufffd"], [[0x80], "\ufffd"],
  ].map(([bytes, text]) => ({ bytes: bytesOf(bytes), text }));
  const joins = (a, b) => (a.bytes.length === 1 && a.bytes[0] === 0x0d && b.bytes[0] === 0x0a) ||
    (a.text === "\ufffd" && a.bytes[0] >= 0xc2 && b.bytes[0] >= 0x80 && b.bytes[0] <= 0xbf);
  const concat = (parts) => Uint8Array.from(parts.flatMap((p) => [...p]));

  // The expected result: the pieces of the longest common prefix and suffix,
  // the rest encoded; where that reads back wrong, the prefix gives up its
  // last pieces one at a time until it reads back right.
  function expected(file, before, after) {
    let same = 0, sameEnd = 0;
    while (before[same] !== undefined && before[same] === after[same]) same++;
    while (sameEnd < Math.min(before.length, after.length) - same && before.at(-1 - sameEnd) === after.at(-1 - sameEnd)) sameEnd++;
    const starts = [0];
    for (const p of file) starts.push(starts.at(-1) + p.text.length);
    let head = starts.findLastIndex((s) => s <= same);
    const tail = starts.findIndex((s) => s >= before.length - sameEnd);
    for (;; head--, widened++) {
      const middle = after.slice(starts[head], after.length - (before.length - starts[tail]));
      const bytes = concat([...file.slice(0, head).map((p) => p.bytes), new TextEncoder().encode(middle),
                            ...file.slice(tail).map((p) => p.bytes)]);
      if (shown(bytes) === after) return bytes;
    }
  }

  let widened = 0;
  await t.test("random insertions, deletions and replacements", () => {
    const rand = random(2);
    for (let round = 0; round < 5000; round++) {
      const file = [];
      for (let k = Math.floor(rand() * 12); k > 0; k--) {
        let p;
        do p = pick(rand, pieces); while (file.length && joins(file.at(-1), p));
        file.push(p);
      }
      const original = concat(file.map((p) => p.bytes)), before = file.map((p) => p.text).join("");
      assert.equal(textOf(original), before);
      const from = Math.floor(rand() * (file.length + 1)), to = from + Math.floor(rand() * (file.length + 1 - from));
      const typed = Array.from({ length: Math.floor(rand() * 3) }, () => pick(rand, pieces).text).join("");
      const after = file.slice(0, from).map((p) => p.text).join("") + typed + file.slice(to).map((p) => p.text).join("");
      const got = bytesAfterEdit(original, before, after);
      if (after === before) assert.equal(got, original);
      else assert.deepEqual(got, expected(file, before, after), `${Buffer.from(original).toString("hex")} -> ${JSON.stringify(after)}`);
    }
    assert.ok(widened >= 20, `only ${widened} edits joined a kept character to the next byte`);
  });

  await t.test("at the edges of line breaks and multi-byte characters", () => {
    const edit = (bytes, after) => Buffer.from(bytesAfterEdit(bytes, textOf(bytes), after)).toString("latin1");
    const crlf = bytesOf("a\r\nb\r\n");
    assert.equal(edit(crlf, "a\nc\n"), "a\r\nc\r\n");
    assert.equal(edit(crlf, "a\nx\nb\n"), "a\r\nx\nb\r\n");
    assert.equal(edit(crlf, "ab\n"), "ab\r\n");
    // A new line break after a lone CR would join it into one CRLF.
    assert.equal(edit(bytesOf("a\rb"), "a\n\nb"), "a\n\nb");
    assert.equal(edit(bytesOf("a\r\rb"), "a\n\n\nb"), "a\n\n\nb");
    assert.equal(edit(bytesOf("a\rx\nb"), "a\n\nb"), "a\n\nb");
    // 😀 to 😁 differ in the second UTF-16 unit only; the character goes whole.
    assert.equal(edit(bytesOf("\r", [0xf0, 0x9f, 0x98, 0x80], "\r"), "\n😁\n"), "\r\xf0\x9f\x98\x81\r");
    // E2 82 is one U+FFFD; with A gone, it would take AC in as "€".
    assert.equal(edit(bytesOf([0xe2, 0x82], "A", [0xac]), "\ufffd\ufffd"), "\xef\xbf\xbd\xac");
    assert.equal(edit(bytesOf([0xef, 0xbb, 0xbf], "\0x\xff"), "\ufeff\0y\ufffd"), "\xef\xbb\xbf\0y\xff");
  });

  await t.test("the same text gives the very same bytes; a wrong before is refused", () => {
    const bytes = bytesOf("\r\n\xff");
    assert.equal(bytesAfterEdit(bytes, "\n\ufffd", "\n\ufffd"), bytes);
    assert.throws(() => bytesAfterEdit(bytes, "\n?", "\n!"), RangeError);
  });
});
