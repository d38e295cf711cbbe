#!/usr/bin/env bash
# Packs this build tree's Tonbar.exe with scripts/package, checks the portable
# zip, then runs the installer tests under Wine (package_tests.exe).
# Usage: package_test.sh package_tests.exe winrun build-dir
set -euo pipefail
tests=$1 winrun=$2 build=$3
root=$(cd "$(dirname "$0")/../.." && pwd)

TONBAR_NO_BUILD=1 TONBAR_BUILD_DIR="$build" "$root/scripts/package" >/dev/null

version=$(sed -n 's/^#define TONBAR_VERSION_TEXT "\(.*\)"$/\1/p' "$root/src/resources/version.h")
python3 - "$build/Tonbar-$version-setup.exe" "$build/Tonbar-$version-portable.zip" \
  "$build/package/Tonbar.exe" "$build/Tonbar.exe" <<'PY'
import struct, sys, zipfile
setup, portable, shipped, built = sys.argv[1:]
def machine(path):
    with open(path, "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    assert head[pe:pe + 4] == b"PE\0\0", path + " is no PE file"
    return struct.unpack_from("<H", head, pe + 4)[0]
# A 64-bit setup: a 32-bit Windows does not start it.
assert machine(setup) == 0x8664, "the setup is not an x86-64 program"
with zipfile.ZipFile(portable) as z:
    assert z.testzip() is None
    names = sorted(z.namelist())
    assert names == ["Tonbar/CTI_ME.txt", "Tonbar/Tonbar.exe"], names
    exe = z.read("Tonbar/Tonbar.exe")
    readme = z.read("Tonbar/CTI_ME.txt").decode("utf-8-sig")
assert exe == open(shipped, "rb").read(), "the zip holds another Tonbar.exe than the setup"
# Shipped without debugging information, the build's own copy keeps it.
assert len(exe) < len(open(built, "rb").read()), "the shipped Tonbar.exe is not stripped"
assert "\r\n" in readme and "HKEY_CURRENT_USER\\Software\\Mirvak\\Tonbar\\4" in readme, readme
print("portable zip:", portable, len(exe), "bytes of Tonbar.exe")
PY

exec "$winrun" "$tests" --gtest_color=no
