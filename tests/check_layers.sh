#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it. Arrows point down:
#   app -> windows, upload, focuser, safety, web -> station, archive -> core
#   app -> feeds -> core
#   app -> mqtt -> station, archive -> core
set -u
cd "$1" || exit 2
allowed() {
    case "$1" in
    core) echo "core" ;;
    station) echo "core station" ;;
    archive) echo "core archive" ;;
    web) echo "core archive web" ;;
    focuser | upload | windows | safety) echo "core station archive $1" ;;
    feeds) echo "core feeds" ;;
    mqtt) echo "core station archive mqtt" ;;
    app) echo "core station archive focuser upload windows safety feeds web mqtt app" ;;
    esac
}
status=0
for dir in core station archive focuser upload windows safety feeds web mqtt app; do
    ok=$(allowed "$dir")
    while IFS= read -r line; do
        target=${line#*\#include \"}
        target=${target%%/*}
        case " $ok " in
        *" $target "*) ;;
        *) echo "$dir reaches up: $line"; status=1 ;;
        esac
    done < <(grep -Hn '#include "\(core\|station\|archive\|focuser\|upload\|windows\|safety\|feeds\|web\|mqtt\|app\)/' "$dir"/*.h "$dir"/*.cpp 2>/dev/null)
done
if grep -n 'prog()' station/*.h station/*.cpp; then
    echo "station reads the process-wide state; hand it in instead"
    status=1
fi
exit $status
