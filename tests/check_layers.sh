#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it. Arrows point down:
#   app -> windows, upload, focuser, safety, web -> station, archive -> core
#   app -> feeds -> core
#   windows, upload, focuser -> screen -> core (the only Qt Widgets below the windows)
# The watch's own modules never include or link Qt Widgets, and the
# process-wide state (prog()) is read in app/ only.
set -u
cd "$1" || exit 2
allowed() {
    case "$1" in
    core) echo "core" ;;
    station) echo "core station" ;;
    archive) echo "core archive" ;;
    web) echo "core archive web" ;;
    screen) echo "core screen" ;;
    focuser | upload | windows) echo "core screen station archive $1" ;;
    safety) echo "core station archive safety" ;;
    feeds) echo "core feeds" ;;
    app) echo "core screen station archive focuser upload windows safety feeds web alpaca app" ;;
    esac
}
status=0
for dir in core screen station archive focuser upload windows safety feeds web app; do
    ok=$(allowed "$dir")
    while IFS= read -r line; do
        target=${line#*\#include \"}
        target=${target%%/*}
        case " $ok " in
        *" $target "*) ;;
        *) echo "$dir reaches up: $line"; status=1 ;;
        esac
    done < <(grep -Hn '#include "\(core\|screen\|station\|archive\|focuser\|upload\|windows\|safety\|feeds\|web\|alpaca\|app\)/' "$dir"/*.h "$dir"/*.cpp 2>/dev/null)
done
# The setup dialog's own controls still read it; they are next.
if grep -n 'prog()' station/*.h station/*.cpp windows/*.h windows/*.cpp core/*.h core/*.cpp \
    | grep -v '^core/program\.\(h\|cpp\):' | grep -v '^windows/setup_dialog\.cpp:'; then
    echo "a module reads the process-wide state; hand it in instead"
    status=1
fi
for dir in core station safety archive feeds alpaca; do
    [ -d "$dir" ] || continue
    if grep -n 'Widgets' "$dir/CMakeLists.txt"; then
        echo "$dir links Qt Widgets"
        status=1
    fi
    if grep -Hn '#include <\(QtWidgets/\)\?\(QWidget\|QApplication\|QDialog\|QMessageBox\|QLabel\|QPushButton\|QLineEdit\|QCheckBox\|QFileDialog\|QMainWindow\|QtWidgets\)' \
        "$dir"/*.h "$dir"/*.cpp 2>/dev/null; then
        echo "$dir includes Qt Widgets"
        status=1
    fi
done
exit $status
