#!/usr/bin/env bash
# A real printer for the printing tests and the demo: a CUPS-PDF queue that Wine finds
# as its default printer, every job ending up as a PDF in a folder of our own.
#
#   cups-pdf.sh start [STATE_DIR [QUEUE]]
#       starts cupsd when it is not running and adds the queue when it is missing. With
#       no QUEUE named it is Velmora-PDF, made the default destination; a named queue
#       is left for PRINTER to choose. Its PDFs land in STATE_DIR/pdf; STATE_DIR also
#       remembers what start changed.
#   cups-pdf.sh stop [STATE_DIR]
#       undoes what start changed, and nothing else. cupsd, which the runs share, is
#       stopped by the run that leaves no Velmora queue behind, and only when one of
#       them started it.
#   cups-pdf.sh pdf-dir [STATE_DIR]
#       the folder the PDFs land in.
#   STATE_DIR is build/cups-pdf of this source tree unless given.
#   cups-pdf.sh collect STATE_DIR MARK OUT [SECONDS]
#       waits (30 s by default) until the queue is idle and a printout newer than the
#       file MARK exists, then writes into the folder OUT: count (printouts newer than
#       MARK), pdf (the newest one's path), text.txt (pdftotext -layout), info.txt
#       (pdfinfo of every page), fonts.txt (pdffonts), and last the empty file done.
#
# Several builds may run their tests at once on one machine, and one cupsd serves them
# all: each build uses a queue of its own (ctest names it after the build folder and
# hands it to the tests in PRINTER, which Wine's printing honours before any default),
# printing through its own cups-pdf instance (device cups-pdf:/QUEUE, configured in
# /etc/cups/cups-pdf-QUEUE.conf) into its own folder. Such a queue never becomes the
# default destination, or another run's jobs would land in it.
#
# Sourced, the script only defines the cups_pdf_* functions. Starting cupsd and adding
# a queue need root. The packages come from scripts/deps.sh.

# The cupsd that a start started, whichever run it was: the last run to stop ends it.
CUPS_PDF_DAEMON_MARK=${TMPDIR:-/tmp}/velmora-cupsd.pid

cups_pdf_running() {
  lpstat -r 2>/dev/null | grep -q 'is running'
}

# The PPD that the Debian package ships, by the name the scheduler lists it under.
cups_pdf_model() {
  local m
  m=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ { print $1; exit }')
  [ -n "$m" ] || m=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ { print $1; exit }')
  printf '%s\n' "$m"
}

cups_pdf_user_options() {
  printf '%s\n' "${HOME:-/root}/.cups/lpoptions"
}

cups_pdf_queue() {
  cat "${1:?state folder}/queue" 2>/dev/null
}

cups_pdf_dir() {
  printf '%s\n' "$(cd "${1:?state folder}" 2>/dev/null && pwd)/pdf"
}

cups_pdf_start() {
  local state=${1:?state folder} queue=${2:-Velmora-PDF} make_default=0
  [ -n "${2:-}" ] || make_default=1
  case "$queue" in
    *[!A-Za-z0-9_-]*) echo "cups-pdf: bad queue name $queue" >&2; return 1 ;;
  esac
  mkdir -p "$state/pdf" || return 1
  printf '%s\n' "$queue" >"$state/queue"
  rm -f "$state"/pdf/*.pdf

  if ! cups_pdf_running; then
    command -v cupsd >/dev/null || { echo "cups-pdf: no cupsd (scripts/deps.sh)" >&2; return 1; }
    setsid cupsd -f </dev/null >/dev/null 2>&1 &
    local pid=$! i
    echo "$pid" >"$CUPS_PDF_DAEMON_MARK"
    for i in $(seq 1 100); do
      cups_pdf_running && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    cups_pdf_running || { echo "cups-pdf: cupsd did not start" >&2; return 1; }
  fi

  # This queue's cups-pdf instance writes into the state folder.
  printf 'Out %s\n' "$(cups_pdf_dir "$state")" >"/etc/cups/cups-pdf-$queue.conf" ||
    { echo "cups-pdf: cannot write /etc/cups/cups-pdf-$queue.conf" >&2; return 1; }
  touch "$state/config-written"

  if ! lpstat -v "$queue" >/dev/null 2>&1; then
    local model
    model=$(cups_pdf_model)
    [ -n "$model" ] || { echo "cups-pdf: no CUPS-PDF driver (printer-driver-cups-pdf)" >&2; return 1; }
    lpadmin -p "$queue" -E -v "cups-pdf:/$queue" -m "$model" 2>/dev/null ||
      { echo "cups-pdf: lpadmin could not add $queue" >&2; return 1; }
    touch "$state/queue-added"
  fi
  cupsenable "$queue" 2>/dev/null
  cupsaccept "$queue" 2>/dev/null

  if [ "$make_default" = 1 ] && ! lpstat -d 2>/dev/null | grep -q ": $queue\$"; then
    local options
    options=$(cups_pdf_user_options)
    if [ -f "$options" ]; then
      cp -p "$options" "$state/lpoptions.saved"
    else
      touch "$state/lpoptions.absent"
    fi
    lpoptions -d "$queue" >/dev/null || return 1
  fi
  return 0
}

cups_pdf_stop() {
  local state=${1:?state folder}
  [ -d "$state" ] || return 0
  local queue options
  queue=$(cups_pdf_queue "$state")
  options=$(cups_pdf_user_options)
  # The default goes back only if it is still ours: another run may have set its own.
  if lpstat -d 2>/dev/null | grep -q ": $queue\$"; then
    if [ -f "$state/lpoptions.saved" ]; then
      cp -p "$state/lpoptions.saved" "$options"
    elif [ -f "$state/lpoptions.absent" ]; then
      rm -f "$options"
    fi
  fi
  if [ -f "$state/queue-added" ] && [ -n "$queue" ]; then
    lpadmin -x "$queue" 2>/dev/null
  fi
  if [ -f "$state/config-written" ] && [ -n "$queue" ]; then
    rm -f "/etc/cups/cups-pdf-$queue.conf"
  fi
  local pid i
  pid=$(cat "$CUPS_PDF_DAEMON_MARK" 2>/dev/null)
  if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = cupsd ]; then
    if ! lpstat -v 2>/dev/null | grep -q 'device for Velmora-PDF'; then
      kill "$pid" 2>/dev/null
      for i in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      rm -f "$CUPS_PDF_DAEMON_MARK"
    fi
  else
    rm -f "$CUPS_PDF_DAEMON_MARK"
  fi
  rm -f "$state/lpoptions.saved" "$state/lpoptions.absent" "$state/queue-added" \
        "$state/config-written"
  return 0
}

cups_pdf_queue_idle() {
  [ -z "$(lpstat -o "$1" 2>/dev/null)" ]
}

cups_pdf_collect() {
  local state=${1:?state folder} mark=${2:?mark file} out=${3:?output folder}
  local seconds=${4:-30} dir queue newest count=0 i
  dir=$(cups_pdf_dir "$state")
  queue=$(cups_pdf_queue "$state")
  mkdir -p "$out"
  rm -f "$out/done" "$out/count" "$out/pdf" "$out/text.txt" "$out/info.txt" "$out/fonts.txt"
  for i in $(seq 1 $((seconds * 10))); do
    count=$(find "$dir" -maxdepth 1 -name '*.pdf' -newer "$mark" 2>/dev/null | wc -l)
    if [ "$count" -gt 0 ] && cups_pdf_queue_idle "$queue"; then
      break
    fi
    sleep 0.1
  done
  echo "$count" >"$out/count"
  if [ "$count" -gt 0 ]; then
    newest=$(ls -t "$dir"/*.pdf | head -n 1)
    printf '%s\n' "$newest" >"$out/pdf"
    pdftotext -layout "$newest" "$out/text.txt"
    pdfinfo -f 1 -l 9999 "$newest" >"$out/info.txt"
    pdffonts "$newest" >"$out/fonts.txt"
  fi
  touch "$out/done"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  usage="usage: cups-pdf.sh start [STATE_DIR [QUEUE]] | stop [STATE_DIR] | pdf-dir [STATE_DIR] | collect STATE_DIR MARK OUT [SECONDS]"
  default_state="$(cd "$(dirname "$0")/.." && pwd)/build/cups-pdf"
  case "${1:-}" in
    start) cups_pdf_start "${2:-$default_state}" "${3:-}" ;;
    stop) cups_pdf_stop "${2:-$default_state}" ;;
    pdf-dir) cups_pdf_dir "${2:-$default_state}" ;;
    collect) shift; cups_pdf_collect "$@" ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
fi
