# cli_common.sh: sourced by the command-line test scripts. Reads their
# options and operands, makes and enters a work folder that is removed at
# the end, and gives them fail().
#
# options: [--runner CMD | --emulator CMD] [--ascii] PAK FIXTURE
#   --runner CMD    runs every program as CMD PROGRAM ARGS under a Wine
#                   wrapper (the tool then speaks code page 932)
#   --emulator CMD  runs every program as CMD PROGRAM ARGS, a Linux program
#                   under an emulator (e.g. qemu-i386 for the 32-bit build)
#   --ascii         only ASCII on the command line (the ANSI command line of
#                   a Windows program); Japanese texts still come from files
# Sets runner (array), wine (0/1), ascii (0/1), PAK, FIXTURE, work, failures.
# usage: source cli_common.sh NAME "$@"   (NAME names the work folder)
cli_name=$1; shift
runner=()
wine=0
ascii=0
while [ $# -gt 2 ]; do
  case "$1" in
    --runner) runner=("$2"); wine=1; shift 2 ;;
    --emulator) runner=("$2"); shift 2 ;;
    --ascii) ascii=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -eq 2 ] || { echo "usage: $0 [--runner CMD | --emulator CMD] [--ascii] PAK FIXTURE" >&2; exit 2; }
PAK=$(realpath "$1")
FIXTURE=$(realpath "$2")

work=$(mktemp -d "${TMPDIR:-/tmp}/$cli_name.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
