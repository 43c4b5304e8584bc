# Helpers shared by the end-to-end scripts in scripts/: each script gets the Orlo
# binary as $1 and the e2e folder as $2, and fails with a message.
orlo=$1
e2e=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs Orlo, under $ORLO_WRAPPER (valgrind, say) when that is set.
orlo_run() {
  ${ORLO_WRAPPER:-} "$orlo" "$@"
}

# orlo_run_preloaded LIB ARGS...: as orlo_run, with LIB preloaded into Orlo.
# Under a qemu-user wrapper the library is for the emulated machine, so qemu
# hands it to the guest instead of the host's loader.
orlo_run_preloaded() {
  local lib=$1
  shift
  case ${ORLO_WRAPPER:-} in
    qemu-*) $ORLO_WRAPPER -E "LD_PRELOAD=$lib" "$orlo" "$@" ;;
    *) LD_PRELOAD=$lib ${ORLO_WRAPPER:-} "$orlo" "$@" ;;
  esac
}

fail() {
  echo "FAIL: $*"
  exit 1
}

usage_text=$(printf '\nUsage for Orlo application:\n\n\tOrlo commandFile [--time-measure]\n\n_')
usage_text=${usage_text%_}

# expect_usage ARGS...: Orlo prints the usage text and exits with 255.
expect_usage() {
  local out status
  out=$(orlo_run "$@"; echo "_status=$?")
  status=${out##*_status=}
  out=${out%_status=*}
  [ "$out" = "$usage_text" ] || fail "usage text expected for '$*', got: $out"
  [ "$status" = 255 ] || fail "status 255 expected for '$*', got $status"
}
