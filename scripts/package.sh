#!/usr/bin/env bash
# Builds the Debian package from a Release build (build-package/), installs it and runs the
# installed monocount on the example it ships. As root the package is installed with dpkg and
# removed again afterwards; otherwise it is unpacked into a temporary directory and run there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_TESTS=OFF >/dev/null
cmake --build build-package -j"$(nproc)" >/dev/null
(cd build-package && cpack -G DEB >/dev/null)
package="$(ls build-package/monocount_*.deb)"
echo "built $package"

if [ "$(id -u)" -eq 0 ]; then
  dpkg -i "$package" >/dev/null
  trap 'dpkg -r monocount >/dev/null' EXIT
  root=""
else
  root="$(mktemp -d)"
  trap 'rm -rf "$root"' EXIT
  dpkg -x "$package" "$root"
fi
"$root/usr/bin/monocount" --version
"$root/usr/bin/monocount" --problem "$root/usr/share/doc/monocount/examples/grid6x6.cnf" --N 20000 --R 2 --seed 1
