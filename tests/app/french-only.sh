#!/bin/sh
# No English reaches the window: no literal of the window's sources reads as an English message.
# Aside: the About window's link error, whose wording is the program's own, the icon names, the
# command line's help (main.cpp), comments and includes.
cd "$1" || exit 2
if grep -nE '"[^"]*\b(error|Error|memory|invalid|Invalid|expected|cannot|Cannot|failed|Failed|Overflow|denied|not set|unknown|Unknown)\b[^"]*"' \
    src/app/*.cpp src/app/*/*.cpp src/system/desktop/*.cpp src/print/*.cpp src/map/*.cpp src/kinds/*.cpp src/find/*.cpp src/view/*.cpp src/act/*.cpp |
    grep -vE '^[^:]*:[0-9]+:\s*(//|#include)|^src/app/(windows/AboutWindow|widgets/Icons|main)\.cpp:'; then
    echo "0 passed, 1 failed: English above, where a user reads French"
    exit 1
fi
echo "1 passed, 0 failed"
