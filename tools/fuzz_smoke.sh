#!/usr/bin/env bash
# Builds the `fuzz` preset and runs every fuzz target for a while (30 s by default), all at once,
# each from its fixed seeds in tests/fuzz_seeds/ into a scratch corpus. Fails when a target
# crashes, leaks or finds a sanitizer error. A target's options come from <target>.options
# beside it: the [libfuzzer] lines as flags, the [asan] lines as ASAN_OPTIONS.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

scratch="$(mktemp -d /tmp/fuzz_smoke_XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

# Seed folder of a target: its name without "fuzz_", but for these.
seeds_of() {
  case "$1" in
    fuzz_http_response) echo http ;;
    fuzz_version_file) echo xmap ;;
    *) echo "${1#fuzz_}" ;;
  esac
}

# Prints the lines of one [section] of an options file as key=value.
section_of() {
  awk -v want="[$2]" '/^\[/ { on = ($0 == want); next } on && /=/ { gsub(/[ \t]/, ""); print }' "$1"
}

targets=()
while IFS= read -r t; do targets+=("$t"); done < <(find build/fuzz/tests -type f -name 'fuzz_*' -perm -u+x | sort)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets were built" >&2; exit 1; }

pids=()
for t in "${targets[@]}"; do
  name="$(basename "$t")"
  seeds="tests/fuzz_seeds/$(seeds_of "$name")"
  [ -d "$seeds" ] || { echo "$name has no seed folder $seeds" >&2; exit 1; }
  mkdir -p "$scratch/$name/corpus" "$scratch/$name/artifacts"
  flags=()
  asan="${ASAN_OPTIONS:-}"
  if [ -f "$t.options" ]; then
    while IFS= read -r kv; do flags+=("-$kv"); done < <(section_of "$t.options" libfuzzer)
    while IFS= read -r kv; do asan="${asan:+$asan:}$kv"; done < <(section_of "$t.options" asan)
  fi
  TMPDIR="$scratch/$name" ASAN_OPTIONS="$asan" "$t" -max_total_time="$seconds" -timeout=25 \
    -artifact_prefix="$scratch/$name/artifacts/" "${flags[@]}" \
    "$scratch/$name/corpus" "$seeds" >"$scratch/$name/log" 2>&1 &
  pids+=("$!")
done

failed=0
bad=0
for i in "${!targets[@]}"; do
  name="$(basename "${targets[$i]}")"
  if wait "${pids[$i]}"; then
    echo "fuzz $name: $(grep -Eo 'Done [0-9]+ runs' "$scratch/$name/log" | tail -n 1)"
  else
    echo "fuzz $name FAILED:" >&2
    tail -n 40 "$scratch/$name/log" >&2
    failed=1
    bad=$((bad + 1))
  fi
done
echo "fuzz: $(( ${#targets[@]} - bad )) passed, $bad failed"
exit "$failed"
