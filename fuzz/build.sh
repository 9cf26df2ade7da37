#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/fuzz_*.cpp) into build-fuzz/ with Debian's clang, apart
# from the CMake build. libFuzzer's runtime comes in Debian's libclang-rt-14-dev.
# Usage: fuzz/build.sh [NAME...]   e.g. fuzz/build.sh pcx like   (all of them when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-fuzz

need=()
command -v clang++ >/dev/null || need+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update && apt-get install -y --no-install-recommends "${need[@]}"
fi

cxx=(clang++)
command -v ccache >/dev/null && cxx=(ccache clang++)
flags=(-std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
  -I"$root/src" -I"$root/tools/import")
read -ra qt <<<"$(pkg-config --cflags Qt6Core Qt6Gui Qt6Sql Qt6Svg libjpeg gdal libpq)"
# the metafile helper is not run by these harnesses; the path only has to be there
flags+=(-DZEMIRA_METAFILE_BUILT=\"zemira-metafile\")
flags+=("${qt[@]}")

pictures="src/framework/picture.cpp src/framework/picture_pcx.cpp src/framework/picture_qt.cpp
  src/framework/picture_bmp.cpp src/framework/picture_icon.cpp src/framework/picture_jpeg.cpp
  src/framework/picture_metafile.cpp src/framework/picture_gdal.cpp"
picturelibs="Qt6Svg $(pkg-config --libs libjpeg gdal)"

# Each harness: the sources it needs and what it links.
sources() {
  case $1 in
  fuzz_textconv) echo "src/framework/textconv.cpp" ;;
  fuzz_startupfile) echo "src/app/startupfile.cpp src/framework/textconv.cpp" ;;
  fuzz_like) echo "src/data/turkishfold.cpp" ;;
  fuzz_pguri) echo "src/data/postgres.cpp src/data/connection.cpp src/data/searchindex.cpp src/data/turkishfold.cpp" ;;
  fuzz_tableplan) echo "tools/import/tableplan.cpp src/data/turkishfold.cpp" ;;
  fuzz_pcx | fuzz_bitmap | fuzz_jpeg) echo "$pictures" ;;
  esac
}
libs() {
  case $1 in
  fuzz_like | fuzz_tableplan) echo "Qt6Core -lsqlite3" ;;
  fuzz_pguri) echo "Qt6Sql libpq -lsqlite3" ;;
  fuzz_pcx | fuzz_bitmap | fuzz_jpeg) echo "$picturelibs" ;;
  *) echo "Qt6Core" ;;
  esac
}

compile() { # adds the source's object to objs, rebuilt when it or a header is newer
  local obj=$out/obj/${1//\//_}.o
  objs+=("$obj")
  if [ ! -f "$obj" ] || [ "$root/$1" -nt "$obj" ] || [ -n "$(find "$root/src" "$root/tools/import" -name '*.h' -newer "$obj" -print -quit)" ]; then
    "${cxx[@]}" "${flags[@]}" -c "$root/$1" -o "$obj"
  fi
}

mkdir -p "$out/obj"
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=($(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//'))
for h in "${harnesses[@]}"; do
  h=fuzz_${h#fuzz_}
  objs=()
  for s in "fuzz/$h.cpp" $(sources "$h"); do compile "$s"; done
  link=()
  for l in $(libs "$h"); do
    case $l in -*) link+=("$l") ;; *) read -ra q <<<"$(pkg-config --libs "$l")"; link+=("${q[@]}") ;; esac
  done
  clang++ "${flags[@]}" -o "$out/$h" "${objs[@]}" "${link[@]}"
  echo "built $out/$h"
done
