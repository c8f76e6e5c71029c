#!/bin/sh
# Fails when a source folder includes a folder it must not depend on, or a Qt
# module beyond its own (the core is plain C++; display, report and n42 use QtGui
# or QtCore; only the windows use QtWidgets).
#   scripts/check-layers.sh SRC_DIR QT_HEADERS_DIR
#   scripts/check-layers.sh --self-test QT_HEADERS_DIR
set -u

# folder: folders it may include | the Qt it may use (none, core, gui, widgets)
rules() {
    cat <<'RULES'
device: device | none
files: files | none
analysis: analysis | none
register: register | none
model: model files analysis register | none
acquisition: acquisition device model | none
n42: n42 files | core
display: display analysis device files model | gui
report: report display analysis files model register | gui
tools: tools acquisition analysis device display files model n42 register report | gui
helpabout: helpabout | widgets
xmca1: xmca1 files model | widgets
dlgzelm: dlgzelm files model | widgets
xmca: xmca acquisition analysis device display dlgzelm files helpabout model n42 register report xmca1 | widgets
app: app xmca acquisition analysis device display dlgzelm files helpabout model n42 register report xmca1 | widgets
RULES
}

# The Qt module a <QName> header belongs to (empty when it is no Qt header).
qtModule() {
    for m in QtCore QtGui QtPrintSupport QtWidgets QtXml QtConcurrent QtNetwork QtSql QtTest; do
        if [ -e "$QT/$m/$1" ]; then
            echo "$m"
            return
        fi
    done
}

qtAllowed() {  # level module
    case "$1:$2" in
        *:) return 0 ;;
        core:QtCore | gui:QtCore | gui:QtGui | widgets:QtCore | widgets:QtGui | widgets:QtWidgets | \
            widgets:QtPrintSupport | gui:QtPrintSupport) return 0 ;;
    esac
    return 1
}

check() {  # src
    src=$1
    folders=$(ls "$src")
    bad=0
    for folder in $folders; do
        [ -d "$src/$folder" ] || continue
        line=$(rules | grep "^$folder:")
        if [ -z "$line" ]; then
            echo "check-layers: $folder has no rule" >&2
            bad=1
            continue
        fi
        allowed=$(echo "$line" | sed 's/^[^:]*: *//; s/ *|.*//')
        level=$(echo "$line" | sed 's/.*| *//')
        for f in $(find "$src/$folder" -name '*.h' -o -name '*.cpp'); do
            for inc in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]\([a-z0-9_]*\)\/.*/\1/p' "$f" | sort -u); do
                echo "$folders" | grep -qx "$inc" || continue  # a system header (sys/, openssl/, ...)
                if ! echo " $allowed " | grep -q " $inc "; then
                    echo "check-layers: $f includes $inc/, which $folder must not use" >&2
                    bad=1
                fi
            done
            for q in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\(Q[A-Za-z0-9]*\)>.*/\1/p' "$f" | sort -u); do
                module=$(qtModule "$q")
                if ! qtAllowed "$level" "$module"; then
                    echo "check-layers: $f includes <$q> ($module), which $folder must not use" >&2
                    bad=1
                fi
            done
        done
    done
    return $bad
}

if [ "${1:-}" = "--self-test" ]; then
    QT=$2
    t=$(mktemp -d)
    trap 'rm -rf "$t"' EXIT
    mkdir -p "$t/files" "$t/model" "$t/display"
    printf '#include "files/a.h"\n#include <vector>\n' >"$t/model/m.cpp"
    printf '#include <QImage>\n#include "model/m.h"\n' >"$t/display/d.cpp"
    printf '#include <openssl/sha.h>\n' >"$t/files/a.h"
    check "$t" 2>/dev/null || { echo "check-layers: a clean tree was refused" >&2; exit 1; }
    printf '#include "model/m.h"\n' >>"$t/files/a.h"
    check "$t" 2>/dev/null && { echo "check-layers: files including model/ went through" >&2; exit 1; }
    sed -i '$d' "$t/files/a.h"
    printf '#include <QWidget>\n' >>"$t/display/d.cpp"
    check "$t" 2>/dev/null && { echo "check-layers: display including QtWidgets went through" >&2; exit 1; }
    sed -i '$d' "$t/display/d.cpp"
    printf '#include <QString>\n' >>"$t/model/m.cpp"
    check "$t" 2>/dev/null && { echo "check-layers: model including QtCore went through" >&2; exit 1; }
    echo "check-layers: self-test passed"
    exit 0
fi

SRC=$1
QT=$2
[ -d "$QT/QtCore" ] || { echo "check-layers: no Qt headers in $QT" >&2; exit 2; }
check "$SRC" && echo "check-layers: every folder keeps to its layer"
