#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it, when a module
# below app/ touches Qt Widgets, or reads the process-wide state where it must
# be handed in. Arrows point down:
#   app -> windows -> upload; app, windows, alpaca, safety, web -> station, archive -> core
#   alpaca -> focuser -> station
#   app -> feeds -> core
#   app -> datafile -> station; app -> notify -> core; app -> service
#   app -> mqtt -> station, archive -> core
#   windows -> screen -> core (the only Qt Widgets below the windows)
# The watch's own modules never include or link Qt Widgets, and the
# process-wide state (prog()) is read in app/ only.
set -u
cd "$1" || exit 2
folders="core screen station archive focuser alpaca upload windows safety feeds web datafile notify service mqtt app indi"
allowed() {
    case "$1" in
    core) echo "core" ;;
    station) echo "core station" ;;
    archive) echo "core archive" ;;
    web) echo "core station archive web" ;;
    screen) echo "core screen" ;;
    upload) echo "core station archive upload" ;;
    windows) echo "core screen station archive upload windows" ;;
    focuser | safety) echo "core station archive $1" ;;
    alpaca) echo "core station archive focuser alpaca" ;;
    feeds) echo "core feeds" ;;
    mqtt) echo "core station archive mqtt" ;;
    datafile) echo "core station datafile" ;;
    notify) echo "core notify" ;;
    service) echo "service" ;;
    indi) echo "indi" ;; # our INDI driver: a program of its own, it knows Tarnwick by its JSON only
    app) echo "$folders" ;;
    esac
}
sources() { find "$1" -name '*.h' -o -name '*.cpp' | sort; }
status=0
for dir in $folders; do
    ok=$(allowed "$dir")
    while IFS= read -r line; do
        target=${line#*\#include \"}
        target=${target%%/*}
        case " $ok " in
        *" $target "*) ;;
        *) echo "$dir reaches up: $line"; status=1 ;;
        esac
    done < <(sources "$dir" | xargs grep -Hn "#include \"\\(${folders// /\\|}\\)/" 2>/dev/null)
done
# Only the windows and the composition root use Qt Widgets.
for dir in core station archive focuser alpaca upload safety feeds web datafile notify service mqtt; do
    if sources "$dir" | xargs grep -Hn '#include <Q\(Widget\|Dialog\|MainWindow\|PushButton\|CheckBox\|Label\|LineEdit\|PlainTextEdit\|MessageBox\|Application\)>' 2>/dev/null; then
        echo "$dir uses Qt Widgets; only windows/ and app/ may"
        status=1
    fi
    if grep -qn 'Qt6::Widgets' "$dir/CMakeLists.txt"; then
        echo "$dir links Qt Widgets; only windows/ and app/ may"
        status=1
    fi
done
for dir in core screen station archive focuser alpaca upload windows safety feeds web datafile notify service mqtt; do
    if sources "$dir" | xargs grep -Hn 'prog()'; then
        echo "$dir reads the process-wide state; hand it in instead"
        status=1
    fi
done
exit $status
