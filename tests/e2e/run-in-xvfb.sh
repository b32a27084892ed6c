#!/usr/bin/env bash
# Runs a test program on a virtual X display of its own, so that windows really map, paint and
# take input. Exit code 77 (skipped) when no virtual display can be started here.
set -u
if ! command -v xvfb-run >/dev/null || ! command -v xauth >/dev/null; then
  echo "SKIP: xvfb-run and xauth are needed for the end-to-end tests (tools/install-deps installs them)"
  exit 77
fi
exec xvfb-run -a -s '-screen 0 1280x800x24 -nolisten tcp' "$@"
