#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it, when a module
# below app/ touches Qt Widgets, or reads the process-wide state where it must
# be handed in. Arrows point down:
#   app -> windows -> upload; app, windows, alpaca, safety, web -> station, archive -> core
#   station -> watch -> core
#   alpaca -> focuser -> station
#   app -> feeds -> core
#   app -> metrics -> watch -> core
#   app -> datafile -> station; app -> notify -> core; app -> service
#   app -> mqtt -> station, archive -> core
#   app -> auth -> core
#   app -> sky_history -> station, archive -> core
#   windows -> screen -> core (the only Qt Widgets below the windows)
#   app, windows -> control -> core
# The watch's own modules never include or link Qt Widgets, and the
# process-wide state (prog()) is read in app/ only. Within app/, only
# app/desktop/ (the program with windows) reaches the windows.
set -u
cd "$1" || exit 2
# The libraries are the top CMakeLists.txt's folders, so a new one is checked
# too; tests, benchmarks and packaging are no library.
folders=$(sed -n 's/^[[:space:]]*add_subdirectory(\([A-Za-z0-9_]*\))[[:space:]]*$/\1/p' CMakeLists.txt |
    grep -vx 'tests\|bench\|packaging' | tr '\n' ' ')
folders=${folders% }
if [ -z "$folders" ]; then
    echo "no add_subdirectory(...) folders found in $PWD/CMakeLists.txt"
    exit 2
fi
allowed() {
    case "$1" in
    core) echo "core" ;;
    watch) echo "core watch" ;;
    station) echo "core watch station" ;;
    archive) echo "core watch archive" ;;
    web) echo "core watch station archive web" ;;
    screen) echo "core watch screen" ;;
    upload) echo "core watch station archive upload" ;;
    windows) echo "core watch screen station archive upload control windows" ;;
    control) echo "core control" ;;
    focuser | safety) echo "core watch station archive $1" ;;
    alpaca) echo "core watch station archive focuser alpaca" ;;
    feeds) echo "core watch feeds" ;;
    metrics) echo "core watch metrics" ;;
    mqtt) echo "core watch station archive mqtt" ;;
    sky_history) echo "core watch station archive sky_history" ;;
    datafile) echo "core watch station datafile" ;;
    notify) echo "core watch notify" ;;
    service) echo "service" ;;
    auth) echo "core auth" ;;
    indi) echo "indi" ;; # our INDI driver: a program of its own, it knows Tarnwick by its JSON only
    app) echo "$folders" ;;
    esac
}
sources() { find "$1" -name '*.h' -o -name '*.cpp' | sort; }
status=0
for dir in $folders; do
    ok=$(allowed "$dir")
    if [ -z "$ok" ]; then
        echo "$dir has no layer rule: add it to allowed() in tests/check_layers.sh"
        status=1
        continue
    fi
    while IFS= read -r line; do
        target=${line#*\#include \"}
        target=${target%%/*}
        case " $ok " in
        *" $target "*) ;;
        *) echo "$dir reaches up: $line"; status=1 ;;
        esac
    done < <(sources "$dir" | xargs grep -Hn "#include \"\\(${folders// /\\|}\\)/" 2>/dev/null)
done
for dir in $folders; do
    # Only the windows, the screen helpers under them and the composition
    # root use Qt Widgets.
    case "$dir" in
    windows | screen | app) ;;
    *)
        if sources "$dir" | xargs grep -Hn '#include <Q\(Widget\|Dialog\|MainWindow\|PushButton\|CheckBox\|Label\|LineEdit\|PlainTextEdit\|MessageBox\|Application\)>' 2>/dev/null; then
            echo "$dir uses Qt Widgets; only windows/ and app/ may"
            status=1
        fi
        if grep -qn 'Qt6::Widgets' "$dir/CMakeLists.txt" 2>/dev/null; then
            echo "$dir links Qt Widgets; only windows/ and app/ may"
            status=1
        fi
        ;;
    esac
    if [ "$dir" != app ] && sources "$dir" | xargs grep -Hn 'prog()'; then
        echo "$dir reads the process-wide state; hand it in instead"
        status=1
    fi
done
# The program without windows (tarnwickd) is app/ outside app/desktop/: it
# reaches no window, no window-system helper and no Qt Widgets or Gui.
if find app -path app/desktop -prune -o \( -name '*.h' -o -name '*.cpp' \) -print |
    xargs grep -Hn '#include "\(windows\|screen\|app/desktop\)/\|#include <Q\(Widget\|Dialog\|MessageBox\|Application\|GuiApplication\|Screen\|Window\)>'; then
    echo "app/ outside app/desktop/ reaches the windows; only app/desktop/ may"
    status=1
fi
exit $status
