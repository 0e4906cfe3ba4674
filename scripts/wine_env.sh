# wine_env.sh: sourced by the scripts: a 64-bit Wine prefix of the build's own
# (never the user's default one), quiet, with a persistent wineserver.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$repo_root/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Creates the prefix once (about 30 s), and gives it the font replacements
# of scripts/wine_fonts.reg whenever that file differs from the copy the
# prefix keeps of the last one it took. Wine links the user's Desktop,
# Documents, Downloads ... to the Linux home folder, where a kit run could
# delete the machine's own files: each link becomes an empty folder.
wine_prefix_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir "$link"; fi
  done
  if ! cmp -s "$repo_root/scripts/wine_fonts.reg" "$WINEPREFIX/wine_fonts.reg"; then
    wine regedit /S "$(winepath -w "$repo_root/scripts/wine_fonts.reg" 2>/dev/null)" >/dev/null 2>&1 || true
    wineserver -w
    cp "$repo_root/scripts/wine_fonts.reg" "$WINEPREFIX/wine_fonts.reg"
  fi
}

# A persistent wineserver of this prefix, so every test process starts
# quickly; run in the foreground of a background job so that its own process
# id is known and only it is stopped. Its output goes nowhere: Wine's
# services keep inherited pipes open.
wine_server_start() {
  wineserver -f -p >/dev/null 2>&1 </dev/null &
  wine_server_pid=$!
}

wine_server_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${wine_server_pid:-}" ]; then
    kill "$wine_server_pid" >/dev/null 2>&1 || true
    wait "$wine_server_pid" 2>/dev/null || true
  fi
}
