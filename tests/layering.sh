#!/bin/sh
# The layers hold: the core never includes the window or the web engine, and the preview never
# includes the window.
src="$1/src"
core=$(grep -rnE '#include[[:space:]]*[<"](gtk|gtkmm|gdk|adwaita|webkit|jsc|preview/|app/)' \
  "$src/support" "$src/workspace" "$src/bootstrap" "$src/process" "$src/agents" "$src/versions")
preview=$(grep -rnE '#include[[:space:]]*[<"](gtkmm|adwaita|app/)' "$src/preview")
if [ -n "$core$preview" ]; then
  echo "layering broken:"
  printf '%s\n%s\n' "$core" "$preview"
  exit 1
fi
echo "layering holds"
