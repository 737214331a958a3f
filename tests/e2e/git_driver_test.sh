#!/usr/bin/env bash
# partsc as git's diff driver, with real git: a repository of parts files,
# `partsc --diff` as the external diff (git diff, git diff --cached of a new
# file, git log -p --ext-diff) and `partsc --list --format=lines` as the
# textconv (git log -p), and a file renamed and changed, each configured as the manual shows. What they
# print is tests/e2e/git/expected.txt.
#
# usage: git_driver_test.sh PARTSC SOURCE_DIR
set -euo pipefail
partsc=$1
data=$2/tests/e2e/git
command -v git >/dev/null || { echo "SKIP: git is not installed"; exit 77; }
repo=$(mktemp -d)
trap 'rm -rf "$repo"' EXIT
cd "$repo"
export GIT_CONFIG_NOSYSTEM=1 HOME=$repo LC_ALL=C
git init -q .
git config user.email partsc@example.org
git config user.name partsc
git config diff.parts.command "$partsc --diff"
git config diff.partslines.textconv "$partsc --list --format=lines"
echo '*.PRT diff=parts' >.gitattributes
compile() {
  echo "$1" >RUN.CTL
  SOURCE_DATE_EPOCH=$2 "$partsc" -q -c RUN.CTL
}
cp "$data/WASHER.src" .
compile WASHER.src 0
git add .gitattributes WASHER.PRT
git commit -qm "washers"
sed -i 's/(ab)/(cd)/; s/(8.4)/(8.5)/; s/"Washers"/"Washers, plain"/' WASHER.src
compile WASHER.src 86400
{
  echo "== git diff"
  git diff
  echo "== exit $?"
  git commit -qam "washers changed"
  sed 's/WASHER/SPACER/; s/"Plain washers"/"Spacers \xe9troites"/' WASHER.src >SPACER.src
  compile SPACER.src 0
  git add SPACER.PRT
  echo "== git diff --cached (a new file)"
  git diff --cached
  git commit -qm "spacers"
  echo "== git log -p --ext-diff"
  git log -p --ext-diff --format=%s -2
  echo '*.PRT diff=partslines' >.gitattributes
  echo "== git log -p (textconv)"
  git log -p --format=%s -2 | grep -v '^index '
  echo '*.PRT diff=parts' >.gitattributes
  sed -i 's/(8.5)/(8.6)/' WASHER.src
  compile WASHER.src 172800
  git mv SPACER.PRT NARROW.PRT
  mv WASHER.PRT NARROW.PRT
  git add NARROW.PRT
  echo "== git diff --cached -M (renamed and changed)"
  git diff --cached -M
} >out.txt 2>&1
diff -u "$data/expected.txt" out.txt
