// The engine of the page: Orlo's own interpreter and tree, compiled to
// WebAssembly (web/PageSession.cpp), run on a command file to any step.
// Works on a compiled module in a browser and under Node alike; nothing here
// touches the document.
import { readFrame } from "./frame.js";

/** Orlo stopped the run (out of memory, a count past INT_MAX): its message, and the step it stopped in. */
export class OrloStopped extends Error {
  constructor(message, step) {
    super(message);
    this.step = step;
  }
}

const utf8 = new TextDecoder("utf-8", { ignoreBOM: true });

/**
 * One instance of the module. The module reads no files and no clock: the
 * system calls it makes go to standard error (kept, to show when the run
 * stops) or fail.
 */
export class Orlo {
  constructor(module) {
    this.module = module;
    this.opened = [];
    this.start();
  }

  start() {
    this.stderr = "";
    const memory = () => new DataView(this.instance.exports.memory.buffer);
    const BADF = 8;
    const wasi = {
      fd_write: (fd, iovs, count, written) => {
        const m = memory();
        let total = 0;
        for (let i = 0; i < count; ++i) {
          const at = m.getUint32(iovs + 8 * i, true), length = m.getUint32(iovs + 8 * i + 4, true);
          if (fd === 2) this.stderr += utf8.decode(new Uint8Array(m.buffer, at, length));
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
    this.type = null;
    this.steps = 0;
  }

  /**
   * Takes a command file (bytes); returns its element type, or null when its
   * first line names none. The module keeps the one copy (see file()).
   */
  load(text) {
    const x = this.instance.exports;
    const at = x.orlo_input(text.length);
    new Uint8Array(x.memory.buffer, at, text.length).set(text);
    return this.loaded(x.orlo_load());
  }

  /**
   * As load(), for a run as the page embeds it (a string; see
   * Escape::PageData), which the module reads back: no copy of the run is
   * made on this side.
   */
  loadPageData(text) {
    const x = this.instance.exports;
    // Text of one-byte characters (the usual run) needs as many bytes; any
    // other character takes up to three for each of its UTF-16 units.
    for (let room = text.length; ; room = 3 * text.length) {
      const at = x.orlo_input(room);
      const { read, written } = new TextEncoder().encodeInto(text, new Uint8Array(x.memory.buffer, at, room));
      if (read === text.length) {
        x.orlo_input(written);
        return this.loaded(x.orlo_load_page_data());
      }
    }
  }

  loaded(type) {
    const x = this.instance.exports;
    this.type = [null, "INT", "DOUBLE", "STRING"][type];
    this.steps = x.orlo_steps();
    this.progressAt = x.orlo_progress();
    this.sendOpened();
    return this.type;
  }

  /** The most levels of a walk's path the frames that follow draw (the rest above is folded). */
  setPathLevels(n) {
    this.instance.exports.orlo_path_levels(Math.min(n, 0xffffffff));
  }

  /** The command file loaded, byte for byte: a copy. */
  file() {
    const x = this.instance.exports;
    const at = x.orlo_file();
    return new Uint8Array(x.memory.buffer, at, x.orlo_file_size()).slice();
  }

  /** Where command line k lies in the file: [its first byte, the byte past its line feed]. */
  commandLine(k) {
    const x = this.instance.exports;
    const at = x.orlo_command_line(k);
    const [from, to] = new Uint32Array(x.memory.buffer, at, 2);
    return [from, to];
  }

  /**
   * The command file loaded, as the page embeds a run (a string; see
   * loadPageData()), written by the module with orlo-dot's own escaper.
   */
  pageData() {
    return this.guard(() => {
      const x = this.instance.exports;
      const at = x.orlo_page_data();
      // A leading U+FEFF is the run's own (it keeps the type line from naming a type), not a byte-order mark.
      return utf8.decode(new Uint8Array(x.memory.buffer, at, x.orlo_page_data_size()));
    });
  }

  /** The folds to draw open, by node id, in the frames that follow. */
  setOpened(ids) {
    this.opened = [...ids];
    this.sendOpened();
  }

  sendOpened() {
    const x = this.instance.exports;
    const at = x.orlo_opened_input(this.opened.length);
    new Uint32Array(x.memory.buffer, at, this.opened.length).set(this.opened);
    x.orlo_opened();
  }

  /** Brings the run to step k and describes it (see frame.js). */
  go(k) {
    return this.call(() => this.instance.exports.orlo_go(k));
  }

  /**
   * Takes the run toward the tree after step k, doing at most `budget` work
   * (a step, each node its walk passes and each node of a subtree a removal
   * lifts or lowers cost one), so that a long way can be gone in pieces;
   * returns the step it stands after.
   */
  move(k, budget) {
    // The module takes a 32-bit count: more (Infinity) is the most it can take.
    const most = Math.max(0, Math.min(Math.floor(budget) || 0, 0xffffffff));
    return this.guard(() => this.instance.exports.orlo_move(k, most));
  }

  /**
   * Walks the tree as it stands toward a value read from `text` as a
   * command's value is read, and describes the walk (a frame of kind
   * "search"; not `extracted` when no value can be read).
   */
  search(text) {
    const bytes = new TextEncoder().encode(text);
    const x = this.instance.exports;
    // Making room may grow the memory, which replaces its buffer: the room first.
    const at = x.orlo_query_input(bytes.length);
    new Uint8Array(x.memory.buffer, at, bytes.length).set(bytes);
    return this.call(() => x.orlo_search(bytes.length));
  }

  /** Runs an export that returns a frame. */
  call(f) {
    return this.guard(() => {
      const x = this.instance.exports;
      const at = f();
      return readFrame(new Uint8Array(x.memory.buffer, at, x.orlo_frame_size()).slice());
    });
  }

  /** Runs f; when Orlo stops in it, a new instance takes the same file, and OrloStopped says where it stopped. */
  guard(f) {
    const x = this.instance.exports;
    try {
      return f();
    } catch (e) {
      // The instance is spent, but its memory still holds the file.
      const step = new DataView(x.memory.buffer).getUint32(this.progressAt, true);
      const stopped = new OrloStopped(e instanceof OrloStopped ? e.message : `Orlo stopped: ${e.message}`, step);
      const text = this.file();
      this.start();
      this.load(text);
      throw stopped;
    }
  }
}

/** The module's bytes: base64 of its gzip-compressed form. */
export async function unpackModule(base64) {
  const bytes = Uint8Array.from(atob(base64.trim()), (c) => c.charCodeAt(0));
  const unpacked = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("gzip"));
  return WebAssembly.compile(await new Response(unpacked).arrayBuffer());
}
