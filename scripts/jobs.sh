# The "-j JOBS" or "-jJOBS" first argument of the scripts that build: sets jobs, 2 without it.
#   . scripts/jobs.sh "$@"
jobs=2
case "${1:-}" in
  -j) jobs=$2 ;;
  -j*) jobs=${1#-j} ;;
esac
