# bash completion for partsc: its options; the value of an option that takes
# a file, a directory or one of a few words, given after a blank
# (--control FILE), after "=" (--control=FILE) or attached (-cFILE); the
# warnings of -W and the diagnostics of --explain; file names after --list,
# --check and --diff, a directory name after --init.

# The options of partsc's option table, and what their values are; a test
# keeps these lists equal to the table.
_partsc_options="-C -p -c --control --strict --no-strict --atomic --no-atomic -q --quiet
  --no-quiet --changes --run-log --error-log --check --keep-going --list --format= --decompile --from-json
  -o --output --force --diff --label --diagnostics-format= --sarif --no-sarif --sarif-base -Wall
  -Werror -Wno-error --explain --init --lsp -h --help --version"
_partsc_file_options="-p -c --control --run-log --error-log --decompile --from-json -o --output
  --sarif --label"
_partsc_directory_options="-C --sarif-base"
_partsc_format_choices="listing lines text json"
_partsc_diagnostics_format_choices="classic gnu json"
_partsc_warnings="unknown-keyword keyword-prefix undefined-macro unclosed-field text-cut long-line
  carriage-return parts-name parts-file-twice size-dropped empty-control comment-names-file
  common-name-dropped after-end no-parts-line split-character member-outside-block"

# Whether the word $1 is one of the words that follow it.
_partsc_is() {
  local word=$1
  shift
  [[ " $* " == *" $word "* ]]
}

# Adds to `found` the names of files (or with -d of directories) that begin
# with $2, each after the text $1.
_partsc_names() {
  local kind=-f
  if [ "$1" = -d ]; then
    kind=-d
    shift
  fi
  local lead=$1 name
  while IFS= read -r name; do
    [ -d "$name" ] && [ -n "$lead" ] && name+=/
    found+=("$lead$name")
  done < <(compgen "$kind" -- "$2")
  if [ -z "$lead" ]; then
    compopt -o filenames 2>/dev/null
  fi
}

# Adds to `found` the words of $2 that begin with $3, each after $1.
_partsc_words() {
  local word
  for word in $2; do
    [[ $word == "$3"* ]] && found+=("$1$word")
  done
}

# The value of option $1 that begins with $2, each after the text $3: the
# candidates of a file, a directory, a choice, a diagnostic. False when the
# option takes no value.
_partsc_value() {
  local option=$1 value=$2 lead=$3
  if _partsc_is "$option" $_partsc_file_options; then
    _partsc_names "$lead" "$value"
  elif _partsc_is "$option" $_partsc_directory_options; then
    _partsc_names -d "$lead" "$value"
  elif [ "$option" = --format ]; then
    _partsc_words "$lead" "$_partsc_format_choices" "$value"
  elif [ "$option" = --diagnostics-format ]; then
    _partsc_words "$lead" "$_partsc_diagnostics_format_choices" "$value"
  elif [ "$option" = --explain ]; then
    _partsc_words "$lead" "all $("${words[0]}" --explain all 2>/dev/null |
      sed -n 's/^partsc-\([a-z0-9-]*\): .*/\1/p')" "$value"
  else
    return 1
  fi
}

# Fills `found` with what the whole word `cur` may become.
_partsc_candidates() {
  # A value after a blank: "-c FILE".
  _partsc_value "$prev" "$cur" "" && return
  case $cur in
    --*=*)
      _partsc_value "${cur%%=*}" "${cur#*=}" "${cur%%=*}="
      return
      ;;
    -Wno-*)
      _partsc_words -Wno- "$_partsc_warnings all error" "${cur#-Wno-}"
      return
      ;;
    -W*)
      _partsc_words -W "all error no- $_partsc_warnings" "${cur#-W}"
      return
      ;;
    -[Cpco]?*)
      _partsc_value "${cur:0:2}" "${cur:2}" "${cur:0:2}"
      return
      ;;
    -*)
      _partsc_words "" "$_partsc_options" "$cur"
      return
      ;;
  esac
  local i
  for ((i = 1; i < ${#words[@]} - 1; i++)); do
    case ${words[i]} in
      --list | --check | --diff)
        _partsc_names "" "$cur"
        return
        ;;
      --init)
        ((i == ${#words[@]} - 2)) && _partsc_names -d "" "$cur"
        return
        ;;
    esac
  done
  _partsc_words "" "$_partsc_options" "$cur"
}

_partsc() {
  # bash breaks words at "=" too; take them from the line as it was typed.
  local line=${COMP_LINE:0:COMP_POINT} cur prev
  local -a words found=()
  read -ra words <<<"$line"
  [[ -z $line || $line == *[[:space:]] ]] && words+=("")
  cur=${words[${#words[@]} - 1]}
  prev=""
  ((${#words[@]} > 1)) && prev=${words[${#words[@]} - 2]}
  _partsc_candidates
  # readline puts a candidate in place of the text after the last word
  # break of the word ("json" for "--format=j"): what comes before it goes.
  local tail=$cur lead candidate
  [[ $COMP_WORDBREAKS == *=* ]] && tail=${tail##*=}
  [[ $COMP_WORDBREAKS == *:* ]] && tail=${tail##*:}
  lead=${cur%"$tail"}
  COMPREPLY=()
  for candidate in "${found[@]}"; do
    COMPREPLY+=("${candidate#"$lead"}")
  done
  if ((${#found[@]} == 1)) && [[ ${found[0]} == *[=/] ]]; then
    compopt -o nospace 2>/dev/null
  fi
  return 0
}

complete -F _partsc partsc
