# bash completion for partsc: its options, and file names where an option
# takes a file (-p, -c, --control, --decompile, --from-json, -o, --output,
# --sarif, --run-log, --error-log) and for every word after --list, --check or
# --diff, directory names after -C and --init; the formats of
# --diagnostics-format and --format, the warnings of -W and the diagnostics of
# --explain.

_partsc_files() {
  local prefix=$1 word=$2 IFS=$'\n'
  COMPREPLY=($(compgen -f -P "$prefix" -- "$word"))
  compopt -o filenames 2>/dev/null || true
}

_partsc_dirs() {
  local prefix=$1 word=$2 IFS=$'\n'
  COMPREPLY=($(compgen -d -P "$prefix" -- "$word"))
  compopt -o filenames 2>/dev/null || true
}

_partsc() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=""
  [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local options="-C -p -c --control --strict --no-strict --atomic --no-atomic --changes -q --quiet
                 --check --list --format= --decompile --from-json -o --output --force --diff -h
                 --help --version --diagnostics-format= --sarif --no-sarif --sarif-base --run-log
                 --error-log -Wall -Werror -Wno-error --explain --init --lsp"
  local warnings="unknown-keyword keyword-prefix undefined-macro unclosed-field text-cut
                  long-line carriage-return parts-name parts-file-twice size-dropped empty-control
                  comment-names-file common-name-dropped after-end no-parts-line split-character"
  COMPREPLY=()

  case $prev in
    -p | -c | --control | --decompile | --from-json | -o | --output | --sarif | --run-log | --error-log)
      _partsc_files "" "$cur"
      return 0
      ;;
    --explain)
      COMPREPLY=($(compgen -W "all $("${COMP_WORDS[0]}" --explain all 2>/dev/null |
        sed -n 's/^partsc-\([a-z0-9-]*\): .*/\1/p')" -- "$cur"))
      return 0
      ;;
    -C | --init | --sarif-base)
      _partsc_dirs "" "$cur"
      return 0
      ;;
  esac
  case $cur in
    -p?*)
      _partsc_files "-p" "${cur#-p}"
      return 0
      ;;
    -C?*)
      _partsc_dirs "-C" "${cur#-C}"
      return 0
      ;;
    --control=* | --output=* | --decompile=* | --from-json=* | --sarif=* | --run-log=* | --error-log=*)
      _partsc_files "${cur%%=*}=" "${cur#*=}"
      return 0
      ;;
    --diagnostics-format=*)
      COMPREPLY=($(compgen -P "--diagnostics-format=" -W "classic gnu json" -- "${cur#*=}"))
      return 0
      ;;
    --format=*)
      COMPREPLY=($(compgen -P "--format=" -W "listing text json" -- "${cur#*=}"))
      return 0
      ;;
    -Wno-*)
      COMPREPLY=($(compgen -P "-Wno-" -W "$warnings all error" -- "${cur#-Wno-}"))
      return 0
      ;;
    -W*)
      COMPREPLY=($(compgen -P "-W" -W "all error no- $warnings" -- "${cur#-W}"))
      return 0
      ;;
    -*)
      COMPREPLY=($(compgen -W "$options" -- "$cur"))
      return 0
      ;;
  esac

  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      --list | --check | --diff)
        _partsc_files "" "$cur"
        return 0
        ;;
    esac
  done
  COMPREPLY=($(compgen -W "$options" -- "$cur"))
  return 0
}

complete -F _partsc partsc
