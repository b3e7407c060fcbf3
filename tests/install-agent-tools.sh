#!/bin/sh
# Installs the real agent tools the tests drive (Claude Code, Codex, the Claude Code ACP adapter)
# and the Agent Client Protocol's schema package with a validator for it from the npm registry into
# FOLDER, once; the versions are the ones these tests were checked against. Without the registry
# it writes FOLDER/unavailable with npm's reason, and the tests that need the tools skip with it.
set -u
folder=${1:?usage: install-agent-tools.sh FOLDER}
claude=2.1.197
codex=0.171.0
want="@anthropic-ai/claude-code@$claude @openai/codex@$codex @zed-industries/claude-code-acp@0.16.2 @agentclientprotocol/sdk@2.4.0 ajv@8.17.1"
mkdir -p "$folder"
if [ "$(cat "$folder/installed" 2>/dev/null)" = "$want" ] && [ -x "$folder/node_modules/.bin/claude" ] &&
   [ -x "$folder/node_modules/.bin/codex" ]; then
  exit 0
fi
rm -f "$folder/unavailable" "$folder/installed"
[ -f "$folder/package.json" ] || echo '{"name":"tarn-test-agent-tools","private":true}' > "$folder/package.json"
# shellcheck disable=SC2086
if npm install --prefix "$folder" --no-audit --no-fund --loglevel=error $want > "$folder/install.log" 2>&1 &&
   "$folder/node_modules/.bin/claude" --version > /dev/null 2>&1 && "$folder/node_modules/.bin/codex" --version > /dev/null 2>&1; then
  echo "$want" > "$folder/installed"
else
  tail -n 5 "$folder/install.log" > "$folder/unavailable"
  echo "agent tools unavailable: $(cat "$folder/unavailable")" >&2
fi
exit 0
