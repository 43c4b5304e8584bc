// The engine of the page: Orlo's own interpreter, compiled to WebAssembly
// and carried in the page, run on a command file to any step. Nothing here
// touches the document but to read the module and the run out of it.
"use strict";

/** The module's bytes: base64 of its gzip-compressed form, in the page. */
async function orloModule() {
  const packed = document.getElementById("orlo-module").textContent.trim();
  const bytes = Uint8Array.from(atob(packed), (c) => c.charCodeAt(0));
  const unpacked = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("gzip"));
  return WebAssembly.compile(await new Response(unpacked).arrayBuffer());
}

/** The command file the page was written with, as bytes (see PageData). */
function embeddedRun() {
  const text = document.getElementById("orlo-run").textContent;
  return unescapePageData(new TextEncoder().encode(text));
}

/** Turns %XX back into the byte it stands for. */
function unescapePageData(bytes) {
  const out = new Uint8Array(bytes.length);
  let n = 0;
  const hex = (b) => (b <= 57 ? b - 48 : (b | 32) - 87);
  for (let i = 0; i < bytes.length; ++i) {
    if (bytes[i] === 37 && i + 2 < bytes.length) {
      out[n++] = (hex(bytes[i + 1]) << 4) | hex(bytes[i + 2]);
      i += 2;
    } else {
      out[n++] = bytes[i];
    }
  }
  return out.subarray(0, n);
}

/** Orlo stopped the run (out of memory, a count past INT_MAX): its message. */
class OrloStopped extends Error {}

/**
 * One instance of the module. The module reads no files and no clock: the
 * system calls it makes go to standard error (kept, to show when the run
 * stops) or fail.
 */
class Orlo {
  static async create() {
    return new Orlo(await orloModule());
  }

  constructor(module) {
    this.module = module;
    this.text = new Uint8Array(0);
    this.start();
  }

  start() {
    this.stderr = "";
    const decoder = new TextDecoder();
    const memory = () => new DataView(this.instance.exports.memory.buffer);
    const BADF = 8;
    const wasi = {
      fd_write: (fd, iovs, count, written) => {
        const m = memory();
        let total = 0;
        for (let i = 0; i < count; ++i) {
          const at = m.getUint32(iovs + 8 * i, true), length = m.getUint32(iovs + 8 * i + 4, true);
          if (fd === 2) this.stderr += decoder.decode(new Uint8Array(m.buffer, at, length));
          total += length;
        }
        m.setUint32(written, total, true);
        return fd === 1 || fd === 2 ? 0 : BADF;
      },
      proc_exit: (status) => {
        throw new OrloStopped(this.stderr.trim() || `Orlo stopped with status ${status}`);
      },
      environ_sizes_get: (count, size) => {
        memory().setUint32(count, 0, true);
        memory().setUint32(size, 0, true);
        return 0;
      },
      environ_get: () => 0,
      fd_close: () => BADF,
      fd_fdstat_get: () => BADF,
      fd_read: () => BADF,
      fd_seek: () => BADF,
    };
    const imports = { wasi_snapshot_preview1: new Proxy(wasi, { get: (t, name) => t[name] || (() => 52) }) };
    this.instance = new WebAssembly.Instance(this.module, imports);
    this.instance.exports._initialize();
  }

  /** Takes a command file (bytes); returns its element type, or null when its first line names none. */
  load(text) {
    this.text = text;
    const x = this.instance.exports;
    const at = x.orlo_input(text.length);
    new Uint8Array(x.memory.buffer, at, text.length).set(text);
    const type = [null, "INT", "DOUBLE", "STRING"][x.orlo_load()];
    this.steps = x.orlo_steps();
    return type;
  }

  /** Runs to step k and describes it (see the frame's layout in PageSession.cpp). */
  runTo(k) {
    const x = this.instance.exports;
    let at;
    try {
      at = x.orlo_run_to(k);
    } catch (e) {
      // The instance is spent: a new one takes the same file.
      const stopped = e instanceof OrloStopped ? e : new OrloStopped(`Orlo stopped: ${e.message}`);
      this.start();
      this.load(this.text);
      throw stopped;
    }
    return decodeFrame(new Uint8Array(x.memory.buffer, at, x.orlo_frame_size()).slice());
  }

  /**
   * Walks the tree as it stands toward a value read from `text` as a
   * command's value is read: null when none can be read, else the value as
   * printed, its count, its depth and the walk (node numbers of the frame
   * last made).
   */
  search(text) {
    const x = this.instance.exports;
    const bytes = new TextEncoder().encode(text);
    new Uint8Array(x.memory.buffer, x.orlo_query_input(bytes.length), bytes.length).set(bytes);
    const at = x.orlo_search(bytes.length);
    const words = new Uint32Array(x.memory.buffer, at, 4);
    if (words[0] === 0) return null;
    const walk = Array.from(new Uint32Array(x.memory.buffer, at + 16, words[3]));
    const length = new Uint32Array(x.memory.buffer, at + 16 + 4 * words[3], 1)[0];
    const value = new TextDecoder().decode(new Uint8Array(x.memory.buffer, at + 20 + 4 * words[3], length));
    return { value, count: words[1], depth: words[2] | 0, walk };
  }
}

/** A frame as an object; node fields are arrays indexed by pre-order number. */
function decodeFrame(bytes) {
  const words = new Uint32Array(bytes.buffer, 0, 12);
  const [done, steps, kind, updated, before, after, depth, n, walkLength, figureWords, textBytes, type] = words;
  const spanWords = 8, nodeWords = 10;
  const all = new Uint32Array(bytes.buffer, 0, 12 + spanWords + n * nodeWords + walkLength + figureWords);
  const textStart = all.length * 4;
  const decoder = new TextDecoder();
  const text = (offset, length) => decoder.decode(bytes.subarray(textStart + offset, textStart + offset + length));
  const span = (i) => text(all[12 + 2 * i], all[13 + 2 * i]);
  const base = 12 + spanWords;
  const nodes = {
    length: n,
    id: new Uint32Array(n), leaf: new Uint8Array(n), depth: new Uint32Array(n),
    count: new Uint32Array(n), size: new Uint32Array(n), key: new Uint32Array(n),
    // Labels are decoded when asked for: a large tree draws only a few.
    smallest: (i) => text(all[base + nodeWords * i + 5], all[base + nodeWords * i + 6]),
    largest: (i) => text(all[base + nodeWords * i + 7], all[base + nodeWords * i + 8]),
  };
  for (let i = 0; i < n; ++i) {
    const w = base + nodeWords * i;
    nodes.id[i] = all[w];
    nodes.leaf[i] = all[w + 1];
    nodes.depth[i] = all[w + 2];
    nodes.count[i] = all[w + 3];
    nodes.size[i] = all[w + 4];
    nodes.key[i] = all[w + 9];
  }
  const walkAt = base + n * nodeWords;
  const walk = Array.from(all.subarray(walkAt, walkAt + walkLength));
  const f = all.subarray(walkAt + walkLength, walkAt + walkLength + figureWords);
  const figures = {
    distinct: f[0], occurrences: f[1] + f[2] * 2 ** 32, routing: f[3], height: f[4],
    averageLeafDepth: f[5] / 1000, leavesAtDepth: Array.from(f.subarray(6)),
  };
  return {
    done, steps, type: [null, "INT", "DOUBLE", "STRING"][type],
    kind: ["none", "ADD", "DEL", "other"][kind], updated: updated === 1,
    countBefore: before, countAfter: after, depth: depth | 0,
    line: span(0), value: span(1), printed: span(2), listing: span(3),
    nodes, walk, figures,
  };
}
