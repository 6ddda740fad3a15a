#!/usr/bin/env bash
# scripts/setup against a stand-in dpkg and apt-get: quiet and installing nothing when every package is there
# (also those installed for two architectures), and installing exactly the missing ones otherwise.
set -euo pipefail
setup=$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT

# dpkg-query -W -f=FORMAT NAME...: every name is installed for amd64 (or for all architectures), the multiarch
# ones for i386 too, except the builds named in $ABSENT ("name:arch").
cat > "$stubs/dpkg-query" <<'STUB'
#!/usr/bin/env bash
format=${2#-f=}
shift 2
for name in "$@"; do
  arches=amd64
  case "$name" in googletest|libcli11-dev|rapidjson-dev) arches=all ;; esac
  case "$name" in libyaml-dev|libgtest-dev|libcpp-httplib-dev) arches="amd64 i386" ;; esac
  for arch in $arches; do
    [[ " ${ABSENT:-} " == *" $name:$arch "* ]] && continue
    line=${format//'${Package}'/$name}
    line=${line//'${Architecture}'/$arch}
    line=${line//'${db:Status-Status}'/installed}
    printf "${line//'${Status}'/install ok installed}"
  done
done
STUB
cat > "$stubs/dpkg" <<'STUB'
#!/usr/bin/env bash
case "$1" in --print-architecture) echo amd64 ;; --print-foreign-architectures) echo i386 ;; esac
STUB
printf '#!/usr/bin/env bash\necho "apt-get $*" >> "%s/log"\n' "$stubs" > "$stubs/apt-get"
printf '#!/usr/bin/env bash\n"$@"\n' > "$stubs/sudo"
chmod +x "$stubs"/*

fail() { echo "FAIL: $*"; exit 1; }

output=$(PATH="$stubs:$PATH" "$setup" 2>&1) || fail "setup exited with $? when all is installed"
[[ -z "$output" ]] || fail "setup printed when all is installed: $output"
[[ ! -e "$stubs/log" ]] || fail "setup ran apt-get when all is installed: $(cat "$stubs/log")"

output=$(ABSENT="libyaml-dev:i386 libcli11-dev:all" PATH="$stubs:$PATH" "$setup" 2>&1) || fail "setup exited with $?"
[[ "$output" == "setup: installing libyaml-dev:i386 libcli11-dev" ]] || fail "setup said: $output"
grep -q -- "install -y -qq --no-install-recommends libyaml-dev:i386 libcli11-dev$" "$stubs/log" ||
  fail "apt-get was asked: $(cat "$stubs/log")"
echo "setup: quiet when all is installed, installs exactly what is missing"
