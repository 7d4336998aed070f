#!/bin/bash
# Makes the README screenshot: run as  xvfb-run -a -s "-screen 0 1024x700x24" scripts/readme-screenshot.sh docs/main-window.png
# (needs xdotool and imagemagick; loads /tmp/demo/france.ov2, clicks a row, "Calculer", Shift-click).
LC_ALL=fr_FR.UTF-8 build/src/app/orvalis & pid=$!
sleep 3
W=$(xdotool search --name "Orvalis   V8.3" | head -1)
echo "win=$W"
xdotool windowmove $W 0 0; sleep 0.5
# open button at top-left of tab 1
xdotool mousemove 22 22 click 1; sleep 1.5
xdotool type --delay 20 "/tmp/demo/france.ov2"; xdotool key Return; sleep 1.5
# click row 3 (Rennes?) then Calculer
xdotool mousemove 200 105 click 1; sleep 0.5
import -window root /tmp/step1.png
BTN=$(xdotool search --name "Orvalis" | head -1)
xdotool mousemove 525 20 click 1; sleep 1
xdotool keydown shift mousemove 200 195 click 1 keyup shift; sleep 0.5
import -window root "$1"
kill $pid
