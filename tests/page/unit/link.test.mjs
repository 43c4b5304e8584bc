// The run in the address: any bytes come back from a link exactly, a link
// holds only base64url, a damaged link is refused with a message that says
// how, and the fragment is read the one way the page writes it.
import { test } from "node:test";
import assert from "node:assert/strict";
import { moduleDir, random } from "./support.mjs";

const { packRun, unpackRun, LinkError, fragmentFor, readFragment, kLinkMostChars } = await import(moduleDir + "link.js");

const randomBytes = (rand, n) => Uint8Array.from({ length: n }, () => Math.floor(rand() * 256));
const commands = new TextEncoder().encode("insert 17\nfind 4\nerase 17\r\nprint\n".repeat(40));

test("runs come back from a link byte for byte", async () => {
  const rand = random(1);
  const cases = [new Uint8Array(0), Uint8Array.of(0), Uint8Array.of(255), Uint8Array.from({ length: 256 }, (_, i) => i)];
  for (let n = 1; n < 40; n++) cases.push(randomBytes(rand, n));
  cases.push(randomBytes(rand, 1 << 20), new TextEncoder().encode("insert 12345\nfind 678\n".repeat(48_000)));
  for (const bytes of cases) {
    const packed = await packRun(bytes);
    assert.match(packed, /^[A-Za-z0-9_-]+$/);
    assert.deepEqual(await unpackRun(packed), bytes);
  }
  assert.ok((await packRun(cases.at(-1))).length < 10_000, "repetitive text is packed small");
  assert.ok(fragmentFor({ step: 0, run: await packRun(commands) }).length < kLinkMostChars);
});

test("a damaged link is refused, and says how", async () => {
  const packed = await packRun(commands);
  const refusal = async (text) => {
    try {
      await unpackRun(text);
    } catch (e) {
      assert.ok(e instanceof LinkError, `${e}`);
      return e.message;
    }
    assert.fail(`${text.slice(0, 20)}… unpacked`);
  };
  const damaged = await refusal(packed.slice(0, -8));
  for (let cut = 1; cut < 12; cut++) assert.match(await refusal(packed.slice(0, -cut)), /cut short/);
  for (let i = 0; i < packed.length - 2; i += 3) {
    const other = packed[i] === "A" ? "B" : "A";
    assert.match(await refusal(packed.slice(0, i) + other + packed.slice(i + 1)), /damaged|not a packed/);
  }
  const messages = [
    damaged,
    await refusal(""),
    await refusal(packed.slice(0, 10) + "+" + packed.slice(11)),
    await refusal(Buffer.from("insert 1\nfind 1\n").toString("base64url")),
  ];
  assert.match(messages[2], /not base64url: "\+" at character 11/);
  assert.match(await refusal("héllo"), /not base64url: "é"/);
  assert.equal(new Set(messages).size, messages.length, messages.join("\n"));
});

test("the fragment", async (t) => {
  await t.test("is written as the page reads it", () => {
    assert.equal(fragmentFor({ step: 12 }), "#step=12");
    assert.equal(fragmentFor({ step: 0, run: "eJ-_x" }), "#step=0&run=eJ-_x");
    assert.deepEqual(readFragment(fragmentFor({ step: 3, run: "eJ-_x" })), { step: 3, run: "eJ-_x", problem: undefined });
    for (const step of [-1, 1.5, NaN, "3"]) assert.throws(() => fragmentFor({ step }), RangeError);
    for (const run of ["", "a&b", "a#b", "a=="]) assert.throws(() => fragmentFor({ step: 1, run }), RangeError);
  });
  await t.test("is read with its edge cases", () => {
    const read = (hash) => {
      const { step, run, problem } = readFragment(hash);
      return [step, run, problem === undefined ? "" : problem];
    };
    assert.deepEqual(read(""), [undefined, undefined, ""]);
    assert.deepEqual(read("#"), [undefined, undefined, ""]);
    assert.deepEqual(read("#step=007"), [7, undefined, ""]);
    assert.deepEqual(read("#run=&step=2&x=9&step=5"), [5, "", ""]);
    assert.deepEqual(read("#run=a&run=b"), [undefined, "b", ""]);
    assert.deepEqual(read("#step=x&step=4"), [4, undefined, ""]);
    assert.deepEqual(read(`#step=${Number.MAX_SAFE_INTEGER}`), [Number.MAX_SAFE_INTEGER, undefined, ""]);
    assert.match(read("#step=")[2], /no step/);
    assert.match(read("#step")[2], /no step/);
    for (const bad of ["-1", "1e3", "+4", " 4", "4.0", "0x1F", "١٢"]) {
      const [step, , problem] = read("#step=" + bad);
      assert.equal(step, undefined);
      assert.match(problem, /not a whole number/, bad);
    }
    const [step, , problem] = read("#step=" + "9".repeat(400));
    assert.equal(step, undefined);
    assert.match(problem, /too large/);
    assert.ok(problem.length < 100);
  });
});
