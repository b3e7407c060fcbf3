#!/bin/sh
# Texts a person reads are marked for translation, and the build's template holds them: from the
# core, the window and its interface files, plurals included.
root="$1"; pot="$2"
failed=0
# A sentence handed straight to the chat, a notice, a control or an error is a text left unmarked.
unmarked=$(grep -rnE '(appendSystemMessage|notify|thinking\.(complete|begin|push)|progress|set_label|set_tooltip_text|set_title|set_placeholder_text|set_subtitle|set_description|setAccessibleLabel\([^,]+,|Error)\(\s*"[A-Za-z][^"]* [^"]*"' "$root/src")
if [ -n "$unmarked" ]; then
  echo "texts not marked for translation:"; echo "$unmarked"; failed=1
fi
if [ ! -s "$pot" ]; then
  echo "no translation template at $pot"; exit 1
fi
for text in 'msgid "Console logs copied."' 'msgid "Open Project"' 'msgid "Keyboard shortcuts"' \
            'msgid_plural "%1 lines"' 'msgid "No package.json found in this folder."'; do
  grep -qF "$text" "$pot" || { echo "the template lacks: $text"; failed=1; }
done
[ $failed -eq 0 ] && echo "every text checked is marked and in the template"
exit $failed
