# Sourced by the benchmarks that run vexo beside glpsol, after they set
# here (their folder): vexo is the program named by the first argument
# (default build/release/vexo), and glpsol is installed from Debian's
# glpk-utils when missing; without it the glpsol columns read "-".
vexo=$(cd "$(dirname "${1:-$here/../build/release/vexo}")" && pwd)/$(basename "${1:-vexo}")
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
if ! command -v glpsol >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then s=; else s=sudo; fi
  DEBIAN_FRONTEND=noninteractive $s apt-get install -y -q glpk-utils \
    >/dev/null 2>&1 || echo "glpk-utils not installed: no glpsol columns" >&2
fi
