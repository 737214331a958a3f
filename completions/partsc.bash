# bash completion for partsc: its options, and file names where an option
# takes a file (-p, -c, --control, --decompile, -o, --output) and for every
# word after --list, directory names after -C.

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
  local options="-C -p -c --control --strict --atomic -q --quiet --list --decompile -o --output
                 --force -h --help --version"
  COMPREPLY=()

  case $prev in
    -p | -c | --control | --decompile | -o | --output)
      _partsc_files "" "$cur"
      return 0
      ;;
    -C)
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
    --control=* | --output=* | --decompile=*)
      _partsc_files "${cur%%=*}=" "${cur#*=}"
      return 0
      ;;
    -*)
      COMPREPLY=($(compgen -W "$options" -- "$cur"))
      return 0
      ;;
  esac

  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [ "${COMP_WORDS[i]}" = "--list" ]; then
      _partsc_files "" "$cur"
      return 0
    fi
  done
  COMPREPLY=($(compgen -W "$options" -- "$cur"))
  return 0
}

complete -F _partsc partsc
