// Runs Orlo compiled to WebAssembly as the native program runs: arguments,
// standard output and error, exit status. The end-to-end tests use it as
// their wrapper (ORLO_WRAPPER="node wasi_run.mjs").
//   node wasi_run.mjs Orlo.wasm commandFile [arguments...]
import { readFileSync } from "node:fs";
import { dirname, resolve } from "node:path";
import { WASI } from "node:wasi";
import v8 from "node:v8";

// Node 20's WASI can crash (a V8 fatal error, or an assertion in ~WASI) when
// a system call takes V8's fast path while memory.grow's garbage collection
// runs: an 8 MB line does it. The slow path does not.
v8.setFlagsFromString("--no-turbo-fast-api-calls");
process.removeAllListeners("warning");  // "WASI is an experimental feature"

const [module, ...args] = process.argv.slice(2);
// The folders of the files named on the command line are all it may open.
const folders = new Set(args.filter((a) => !a.startsWith("--")).map((a) => dirname(resolve(a))));
const wasi = new WASI({
  version: "preview1",
  args: ["Orlo", ...args.map((a) => (a.startsWith("--") ? a : resolve(a)))],
  env: {},
  preopens: Object.fromEntries([...folders].map((d) => [d, d])),
  returnOnExit: true,
});
const instance = new WebAssembly.Instance(new WebAssembly.Module(readFileSync(module)), wasi.getImportObject());
let status;
try {
  status = wasi.start(instance);
} catch (e) {
  process.stderr.write(`Orlo.wasm stopped: ${e.message}\n`);
  status = 134;
}
process.exitCode = status & 255;  // main's -1 comes back as -1
