# Sourced by the scripts: one private Wine prefix and one display per build tree.
#   wine_env_start <build-dir> [x86_64|i686]   starts wineserver -p and Xvfb, exports the
#                                              environment and WINE, the loader of that
#                                              architecture (default x86_64)
#   wine_env_stop                              stops both
# Every prefix is a 64-bit one; 32-bit programs run in it as on 64-bit Windows (WoW64).
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver

wine_loader() {  # architecture -> its Wine loader
  case "$1" in
    x86_64) echo "$WINE64" ;;
    i686) echo "$WINE32" ;;
    *) echo "wine-env: unknown architecture '$1'" >&2; return 1 ;;
  esac
}

# True when this machine runs the programs of that architecture natively. The 32-bit
# loader is itself a 32-bit Linux program: a kernel without IA-32 support refuses it,
# unless a user-mode emulator (qemu) is registered for such programs, under which Wine
# starts some fifty times slower and crashes in the emulator: that counts as not running.
wine_arch_runs() {
  local loader
  loader=$(wine_loader "$1") && "$loader" --version >/dev/null 2>&1 || return 1
  [ "$1" != i686 ] || ! i386_emulated
}

i386_emulated() {  # an enabled binfmt_misc entry hands i386 programs to qemu
  local entry
  for entry in "${BINFMT_MISC:-/proc/sys/fs/binfmt_misc}"/*; do
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null && return 0
  done
  return 1
}

wine_env_start() {
  local build_dir
  build_dir=$(cd "$1" && pwd)
  WINE=$(wine_loader "${2:-x86_64}") || return 1
  export WINE
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  # Our own Xvfb on a display number that it finds free itself: a lock file check
  # misses servers of other roots that share the abstract socket namespace (a
  # container, a chroot), and a second server on their number cannot listen.
  local numberfile="$build_dir/xvfb.display"
  rm -f "$numberfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  local tries=0
  while [ ! -s "$numberfile" ] && [ $tries -lt 200 ]; do sleep 0.05; tries=$((tries + 1)); done
  if [ ! -s "$numberfile" ]; then
    echo "wine-env: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(tr -dc '0-9' < "$numberfile")"

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # First use of this prefix: create it, teach it a CJK fallback font, and let
    # every process of the set-up finish before the persistent server starts.
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    local reg="$build_dir/fontlink.reg"
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n' > "$reg"
    local value
    value=$(printf 'wqy-microhei.ttc,WenQuanYi Micro Hei\0\0' | od -An -tx1 | tr -s ' \n' ',,' | sed 's/^,//;s/,$//')
    for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
      printf '"%s"=hex(7):%s\n' "$face" "$value" >> "$reg"
    done
    # Xvfb has no window manager: a managed window would wait 2 s for one each
    # time it is hidden or destroyed, which dominated the window tests.
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n' >> "$reg"
    "$WINE64" regedit "$reg" >/dev/null 2>&1 || true
    "$WINESERVER" -w || true
  fi
  "$WINESERVER" -p
  # Start the prefix's background processes (services, the desktop window) now, so
  # that they do not inherit the output pipes of the first test and keep CTest waiting.
  "$WINE" rundll32.exe user32.dll,MessageBeep </dev/null >/dev/null 2>&1 || true
}

wine_env_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1 || true
  wait "${XVFB_PID:-}" 2>/dev/null || true
}

# Unix path -> the path a Windows program in the prefix uses for it (drive Z:).
winepath_of() {
  local p
  p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  echo "Z:${p//\//\\}"
}
