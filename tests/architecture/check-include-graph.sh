#!/usr/bin/env bash
# check-include-graph.sh SOURCE_DIR
# The libraries below the window know nothing of it: no file in pei/,
# session/, ports/, text/, files/ or serial/ includes a header of window/,
# controls/ or formstate/, or a header of Qt's widgets or GUI modules; and
# radiosim/ includes nothing of what it simulates a radio for.
set -u
cd "$1" || exit 2
status=0
check() {
  local folders=$1 forbidden=$2 why=$3
  local hits
  hits=$(grep -rnE "^#include [<\"]($forbidden)" $folders --include='*.cpp' --include='*.h')
  if [ -n "$hits" ]; then
    echo "$why:"
    echo "$hits"
    status=1
  fi
}
check "pei session ports text files serial" "window/|controls/|formstate/|radiosim/" \
  "an arrow from a library below the window up to it"
check "pei session ports text files serial" "QtWidgets|QtGui|QWidget|QApplication|QGuiApplication|QMessageBox|QDialog|QPushButton|QLabel|QComboBox|QCheckBox|QFileDialog|QPainter|QFont|QColor|QIcon" \
  "a widget or GUI header in a library without widgets"
check "text files serial" "pei/|ports/|session/" "the lowest libraries include the protocol or the session"
check "pei" "ports/|session/" "the protocol includes the port or the session"
check "ports" "pei/|session/" "the ports include the protocol or the session"
check "radiosim" "pei/|ports/|session/|window/|controls/|formstate/|text/|files/" \
  "the simulated radio shares code with what it simulates a radio for"
[ $status -eq 0 ] && echo "include graph: every arrow points one way"
exit $status
