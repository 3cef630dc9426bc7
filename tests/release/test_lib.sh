# Sourced by the release tests: a temporary folder, failures counted, and
# small releases to change.
#   source test_lib.sh NAME CASE
# defines $here, $root, $work, $build (TAVIX_MAKE_SETUP_BUILD: the build folder
# that make-setup.sh reuses; default: one in the temporary folder), $py; runs
# the function case_CASE with `run_case` and reports. A test may define
# more_cleanup, which runs at the end.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
test_name=$1
case_name=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/$test_name.XXXXXX")
build=${TAVIX_MAKE_SETUP_BUILD:-$work/build}
cleanup() {
  if declare -F more_cleanup >/dev/null; then more_cleanup; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
py=/usr/bin/python3  # Debian's, with python3-pefile

expect_text() {  # FILE TEXT WHAT
  grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in $(basename "$1"):"; sed 's/^/  | /' "$1" >&2; }
}
# new_release DIR: a fresh copy of the small release.
new_release() { "$here/small-release.sh" "$1"; }
# edit FILE SED-SCRIPT: edits a GBK text in place, byte-wise.
edit() { LC_ALL=C sed -i "$2" "$1"; }

run_case() {
  "case_$case_name"
  if [ "$failures" -gt 0 ]; then
    echo "$case_name: $failures failure(s)" >&2
    exit 1
  fi
  echo "$case_name: ok"
}
