#!/usr/bin/env bash
# Runs the headless Neovim session against the given vesk-lsp binary.
# Exit 77 (skipped) when nvim is not installed.
set -u
bin=$1
if ! command -v nvim >/dev/null 2>&1; then
  echo "skipped: nvim is not installed (tools/install-deps installs Debian's neovim)"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# A private HOME keeps the user's configuration, state and logs out of the run.
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state" \
  VESK_LSP="$bin" timeout 60 nvim --headless --clean -u NONE -c "luafile $here/editor_session.lua"
