#!/bin/sh
# No English reaches the window: no literal of the window's sources reads as an English message.
# Aside: the About window's link error, whose wording is the program's own, the icon names, the
# command line's help (main.cpp) and the headers' names.
cd "$1" || exit 2
hits=$(grep -nE '"[^"]*\b(error|Error|memory|invalid|Invalid|expected|cannot|Cannot|failed|Failed|Overflow|denied|not set|unknown|Unknown)\b[^"]*"' \
    src/app/*.cpp src/print/*.cpp src/map/*.cpp src/find/*.cpp src/view/*.cpp src/act/*.cpp |
    grep -vE '^[^:]*:[0-9]+:\s*(//|#include)' |
    grep -vE '^src/app/(AboutWindow|Icons|main)\.cpp:')
if [ -n "$hits" ]; then
    echo "English where a user reads French:"
    echo "$hits"
    echo "0 passed, 1 failed"
    exit 1
fi
echo "1 passed, 0 failed"
