#!/usr/bin/env bash
# A real printer for the printing tests and the demo: a CUPS-PDF queue, Velmora-PDF, as
# the default destination. Wine finds it as its default printer, and every job ends up
# as a PDF in the folder that cups-pdf.conf names (for root: /root/PDF).
#
#   cups-pdf.sh start STATE_DIR   starts cupsd when it is not running, adds the queue
#                                 when it is missing, makes it the default destination;
#                                 STATE_DIR remembers what this changed
#   cups-pdf.sh stop STATE_DIR    undoes exactly what start changed, nothing else
#   cups-pdf.sh pdf-dir           prints the folder the PDFs land in
#   cups-pdf.sh collect MARK OUT [SECONDS]
#                                 waits (30 s by default) until the queue is idle and a
#                                 printout newer than the file MARK exists, then writes
#                                 into the folder OUT: count (printouts newer than MARK),
#                                 pdf (the newest one's path), text.txt (pdftotext
#                                 -layout), info.txt (pdfinfo of every page), fonts.txt
#                                 (pdffonts), and last the empty file done
#
# Sourced, it only defines the functions cups_pdf_start, cups_pdf_stop, cups_pdf_dir and
# cups_pdf_collect. Starting cupsd and adding a queue need root (or the lpadmin group).
# The packages come from scripts/deps.sh.

CUPS_PDF_QUEUE=Velmora-PDF
CUPS_PDF_DOCUMENT=FS2002_AI_Aircraft_Details

cups_pdf_running() {
  lpstat -r 2>/dev/null | grep -q 'is running'
}

# The PPD the Debian package ships, by its driver name when the scheduler lists it.
cups_pdf_model() {
  local m
  m=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ { print $1; exit }')
  [ -n "$m" ] || m=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ { print $1; exit }')
  printf '%s\n' "$m"
}

cups_pdf_user_options() {
  printf '%s\n' "${HOME:-/root}/.cups/lpoptions"
}

cups_pdf_start() {
  local state=${1:?state folder}
  mkdir -p "$state" || return 1

  if ! cups_pdf_running; then
    command -v cupsd >/dev/null || { echo "cups-pdf: cupsd is not installed (scripts/deps.sh)" >&2; return 1; }
    setsid cupsd -f </dev/null >/dev/null 2>&1 &
    echo $! >"$state/cupsd.pid"
    local i
    for i in $(seq 1 100); do
      cups_pdf_running && break
      kill -0 "$(cat "$state/cupsd.pid")" 2>/dev/null || break
      sleep 0.1
    done
    cups_pdf_running || { echo "cups-pdf: cupsd did not start" >&2; return 1; }
  fi

  if ! lpstat -v "$CUPS_PDF_QUEUE" >/dev/null 2>&1; then
    local model
    model=$(cups_pdf_model)
    [ -n "$model" ] || { echo "cups-pdf: no CUPS-PDF driver (printer-driver-cups-pdf)" >&2; return 1; }
    lpadmin -p "$CUPS_PDF_QUEUE" -E -v cups-pdf:/ -m "$model" 2>/dev/null ||
      { echo "cups-pdf: lpadmin could not add $CUPS_PDF_QUEUE" >&2; return 1; }
    touch "$state/queue-added"
  fi
  # lpadmin -E also accepts jobs; a queue found stopped is started for the run.
  cupsenable "$CUPS_PDF_QUEUE" 2>/dev/null
  cupsaccept "$CUPS_PDF_QUEUE" 2>/dev/null

  if ! lpstat -d 2>/dev/null | grep -q ": $CUPS_PDF_QUEUE\$"; then
    local options
    options=$(cups_pdf_user_options)
    if [ -f "$options" ]; then
      cp -p "$options" "$state/lpoptions.saved"
    else
      touch "$state/lpoptions.absent"
    fi
    lpoptions -d "$CUPS_PDF_QUEUE" >/dev/null || return 1
  fi
  mkdir -p "$(cups_pdf_dir)" 2>/dev/null
  return 0
}

cups_pdf_stop() {
  local state=${1:?state folder}
  [ -d "$state" ] || return 0
  local options
  options=$(cups_pdf_user_options)
  if [ -f "$state/lpoptions.saved" ]; then
    cp -p "$state/lpoptions.saved" "$options"
  elif [ -f "$state/lpoptions.absent" ]; then
    rm -f "$options"
  fi
  if [ -f "$state/queue-added" ]; then
    lpadmin -x "$CUPS_PDF_QUEUE" 2>/dev/null
  fi
  if [ -f "$state/cupsd.pid" ]; then
    local pid i
    pid=$(cat "$state/cupsd.pid")
    kill "$pid" 2>/dev/null
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -f "$state/lpoptions.saved" "$state/lpoptions.absent" "$state/queue-added" "$state/cupsd.pid"
  rmdir "$state" 2>/dev/null
  return 0
}

# The Out folder of cups-pdf.conf for the user who prints (the one running this).
cups_pdf_dir() {
  local out user home
  out=$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1)
  [ -n "$out" ] || out='/var/spool/cups-pdf/${USER}'
  user=$(id -un)
  home=$(getent passwd "$user" | cut -d: -f6)
  out=${out//\$\{HOME\}/$home}
  out=${out//\$\{USER\}/$user}
  printf '%s\n' "$out"
}

cups_pdf_queue_idle() {
  [ -z "$(lpstat -o "$CUPS_PDF_QUEUE" 2>/dev/null)" ]
}

cups_pdf_collect() {
  local mark=${1:?mark file} out=${2:?output folder} seconds=${3:-30}
  local dir newest count=0 i
  dir=$(cups_pdf_dir)
  mkdir -p "$out"
  rm -f "$out/done" "$out/count" "$out/pdf" "$out/text.txt" "$out/info.txt" "$out/fonts.txt"
  for i in $(seq 1 $((seconds * 10))); do
    count=$(find "$dir" -maxdepth 1 -name "$CUPS_PDF_DOCUMENT*.pdf" -newer "$mark" 2>/dev/null | wc -l)
    if [ "$count" -gt 0 ] && cups_pdf_queue_idle; then
      break
    fi
    sleep 0.1
  done
  echo "$count" >"$out/count"
  if [ "$count" -gt 0 ]; then
    newest=$(ls -t "$dir"/"$CUPS_PDF_DOCUMENT"*.pdf | head -n 1)
    printf '%s\n' "$newest" >"$out/pdf"
    pdftotext -layout "$newest" "$out/text.txt"
    pdfinfo -f 1 -l 9999 "$newest" >"$out/info.txt"
    pdffonts "$newest" >"$out/fonts.txt"
  fi
  touch "$out/done"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    start) cups_pdf_start "${2:?usage: cups-pdf.sh start STATE_DIR}" ;;
    stop) cups_pdf_stop "${2:?usage: cups-pdf.sh stop STATE_DIR}" ;;
    pdf-dir) cups_pdf_dir ;;
    collect) shift; cups_pdf_collect "$@" ;;
    *) echo "usage: cups-pdf.sh start|stop STATE_DIR | pdf-dir | collect MARK OUT [SECONDS]" >&2; exit 2 ;;
  esac
fi
