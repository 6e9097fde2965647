# Shared by ./run and ./test: installs what is missing, builds, and prepares
# Wine (a prefix of the project's own under build/, a warm wineserver) and an
# X display (Xvfb when there is none). Source it; it defines functions only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"

PACKAGES=(cmake make g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb x11-utils
          imagemagick xdotool googletest python3-aiosmtpd openssl clang clang-format clang-tidy unzip postfix
          dovecot-core prometheus prometheus-node-exporter curl wixl msitools)

say() { printf '== %s\n' "$*" >&2; }

# libFuzzer comes with clang's runtime, whose package carries the version of
# the clang that is installed.
clang_runtime_package() {
  local major
  major=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)
  [ -n "$major" ] && echo "libclang-rt-$major-dev"
}

ensure_packages() {
  install_missing "${PACKAGES[@]}"
  install_missing "$(clang_runtime_package)"
}

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  # Postfix is only a test server, run from a folder of the tests' own: it
  # asks nothing and leaves the machine's mail system unconfigured.
  echo "postfix postfix/main_mailer_type select No configuration" | $sudo debconf-set-selections
  # With the recommended packages: Wine loads several X libraries at run time.
  # Nothing is removed: Postfix would otherwise replace another mail server.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-remove "${missing[@]}" >/dev/null || {
    say "apt-get could not install ${missing[*]}; when it would remove packages, another mail server" \
      "(exim4, for example) conflicts with postfix: the tests need postfix in its place"
    return 1
  }
}

build() {
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  cmake --build "$BUILD" -j "$(nproc)"
}

# Wine, with the project's own prefix; the wineserver stays up between
# programs so that each start takes a tenth of a second instead of seconds.
wine_env() {
  export WINEPREFIX="$BUILD/wineprefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installer prompts: the programs need neither. No menu
  # files in the home folder for the shortcuts that installers make.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/.prefix-ready" ]; then
    say "creating the Wine prefix $WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true
    # Each step runs to its very end (wineserver -w) before the next: a
    # prefix still settling makes the first programs slow and services
    # change state under the tests.
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    # Debian's Wine does not look in its own font folder: without Marlett and
    # Tahoma the caption buttons and dialogs draw wrongly.
    local f
    for f in /usr/share/wine/fonts/*.ttf; do
      [ -e "$f" ] && ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    # Every program of this prefix runs in one virtual desktop that has a
    # taskbar and a tray, as on Windows (a desktop named "shell" gets them).
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.prefix-ready"
  fi
  # Persistent until killed; fails harmlessly when it is already up.
  wineserver -p 2>/dev/null || true
  # Wine's first program starts its helper processes (services, devices),
  # which live on and keep the output they were given: start them here with
  # none, or they hold a test runner's output pipe open until its time-out.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

XVFB_PID=
# Uses the display there is, or starts Xvfb on a free one.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  say "Xvfb did not start"
  return 1
}

# Builds the fuzz target natively with clang's libFuzzer and runs it for a
# bounded time (FUZZ_SECONDS, 20 by default) from the committed seeds.
run_fuzz() {
  local out="$BUILD/fuzz" src="$ROOT/src" sources
  mkdir -p "$out/corpus"
  # The portable sources, as the CMake project lists them.
  IFS=";" read -r -a sources <"$BUILD/portable_sources.txt" || true
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I"$src" \
    "$ROOT/tests/fuzz/readers_fuzz.cpp" "${sources[@]}" -o "$out/readers_fuzz"
  cp -n "$ROOT"/tests/fuzz/seeds/* "$out/corpus/" 2>/dev/null || true
  "$out/readers_fuzz" "$out/corpus" -max_total_time="${FUZZ_SECONDS:-20}" -max_len=65536 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 2>"$out/fuzz.log" || {
    tail -40 "$out/fuzz.log" >&2
    return 1
  }
  say "fuzzing: $(grep -E '^stat::number_of_executed_units' "$out/fuzz.log")"
}

# Ends Wine's processes of our prefix and our Xvfb.
cleanup_env() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}
