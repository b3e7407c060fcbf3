#!/bin/sh
# Every file the README, the desktop entry and the AppStream data name is in the repository, so a
# clone has it too (pictures included).
root="$1"
cd "$root" || exit 1
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "not a git checkout: nothing to check"; exit 0; }
missing=""
check() {
  git ls-files --error-unmatch -- "$1" >/dev/null 2>&1 || missing="$missing $1 (named by $2)"
}
# Local links and pictures of the README: ](path) that is not an address or an anchor.
for path in $(grep -o '](\([^)#:]*\))' README.md | sed 's/^](//; s/)$//'); do
  check "$path" README.md
done
icon=$(sed -n 's/^Icon=//p' data/dev.tarn.Tarn.desktop)
check "data/icons/$icon.svg" data/dev.tarn.Tarn.desktop
# Screenshots the metadata names by their path in the repository's raw files.
for path in $(grep -o 'raw/[^<]*/\(docs/[^<]*\)' data/dev.tarn.Tarn.metainfo.xml | sed 's|^raw/[^/]*/||'); do
  check "$path" data/dev.tarn.Tarn.metainfo.xml
done
if [ -n "$missing" ]; then
  echo "not in the repository:$missing"
  exit 1
fi
echo "every file named is tracked"
