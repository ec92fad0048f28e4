# Sourced by the scripts: start_xvfb WIDTHxHEIGHT VARIABLE starts an X server
# of its own (Xvfb) with a screen of that size and exports its display name
# in VARIABLE (DISPLAY, say). The servers go when the script exits.
xvfb_pids=()
trap 'kill "${xvfb_pids[@]}" 2>/dev/null || true' EXIT

start_xvfb() {
  local number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1x24" -noreset -nolisten tcp 3>"$number" 2>/dev/null &
  xvfb_pids+=($!)
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    sleep 0.1
  done
  [ -s "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export "$2=:$(cat "$number")"
  rm -f "$number"
}
