#!/bin/sh
# Runs client_test.js against the given vesk-lsp binary; exit 77 means skipped.
dir=$(dirname "$0")
if ! command -v node >/dev/null 2>&1; then
  echo "skipped: node is not installed (run tools/install-deps)"
  exit 77
fi
if [ ! -d "$dir/node_modules/vscode-languageserver-protocol" ]; then
  echo "skipped: $dir/node_modules is missing (run tools/install-deps)"
  exit 77
fi
exec node "$dir/client_test.js" "$1"
