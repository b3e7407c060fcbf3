#!/bin/sh
# The layers hold: the core never includes the window or the web engine, no service includes the
# workspace controller above it, the records include only support, and the preview never includes
# the window.
src="$1/src"
services="$src/support $src/model $src/bootstrap $src/process $src/agents $src/versions"
core=$(grep -rnE '#include[[:space:]]*[<"](gtk|gtkmm|gdk|adwaita|webkit|jsc|preview/|app/)' $services "$src/workspace")
upward=$(grep -rnE '#include[[:space:]]*"workspace/' $services)
records=$(grep -rnE '#include[[:space:]]*"(bootstrap|process|agents|versions)/' "$src/model" "$src/support")
preview=$(grep -rnE '#include[[:space:]]*[<"](gtkmm|adwaita|app/)' "$src/preview")
if [ -n "$core$upward$records$preview" ]; then
  echo "layering broken:"
  printf '%s\n' "$core" "$upward" "$records" "$preview" | grep -v '^$'
  exit 1
fi
echo "layering holds"
