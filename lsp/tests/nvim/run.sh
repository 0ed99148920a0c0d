#!/usr/bin/env bash
# Runs the headless Neovim sessions against the given vesk-lsp binary: the
# editor session, then the README's set-up snippet with the binary on PATH.
# Exit 77 (skipped) when nvim is not installed.
set -u
bin=$1
if ! command -v nvim >/dev/null 2>&1; then
  echo "skipped: nvim is not installed (tools/install-deps installs Debian's neovim)"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
bin_dir=$(cd "$(dirname "$bin")" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# A private HOME keeps the user's configuration, state and logs out of the run.
session() {
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state" \
    timeout 60 nvim --headless --clean -u NONE -c "luafile $here/$1"
}

status=0
VESK_LSP="$bin" session editor_session.lua || status=1
[ "$(basename "$bin")" = vesk-lsp ] || { echo "the binary must be named vesk-lsp for the README's snippet"; exit 1; }
PATH="$bin_dir:$PATH" VESK_README="$here/../../../README.md" session readme_snippet.lua || status=1
exit $status
