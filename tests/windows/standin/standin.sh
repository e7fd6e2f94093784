# Shell functions for the out-of-process stand-ins under Wine (source this file; WINEPREFIX set).
#   standin_register DIR      register both stand-ins (type libraries, ProgIDs, classes) from build dir DIR
#                             (the folder holding gridvane-excel-standin.exe, e.g. build/windows/core/tests/windows/standin)
#   standin_unregister DIR    remove what standin_register wrote
#   standin_start_excel DIR [ARGS...]   start the spreadsheet stand-in, wait until it is in the running-object table
#   standin_start_cad DIR [ARGS...]     the same for the CAD stand-in (e.g. --minimized, --log FILE)
#   standin_ctl DIR PROGID COMMAND...   Application.GvControl(COMMAND) of a running stand-in, answer on stdout
#   standin_stop DIR          ask both stand-ins to quit
# Windows need a display: run under xvfb-run when DISPLAY is not set.
standin_register() {
  wine "$1/gridvane-excel-standin.exe" --register && wine "$1/gridvane-cad-standin.exe" --register
}
standin_unregister() {
  wine "$1/gridvane-excel-standin.exe" --unregister
  wine "$1/gridvane-cad-standin.exe" --unregister
}
standin_start_excel() {
  local dir=$1; shift
  wine "$dir/gridvane-excel-standin.exe" "$@" &
  wine "$dir/gridvane-standin-ctl.exe" Excel.Application wait 30
}
standin_start_cad() {
  local dir=$1; shift
  wine "$dir/gridvane-cad-standin.exe" "$@" &
  wine "$dir/gridvane-standin-ctl.exe" BricscadApp.AcadApplication wait 30
}
standin_ctl() {
  local dir=$1; shift
  wine "$dir/gridvane-standin-ctl.exe" "$@"
}
standin_stop() {
  wine "$1/gridvane-standin-ctl.exe" Excel.Application quit 2>/dev/null || true
  wine "$1/gridvane-standin-ctl.exe" BricscadApp.AcadApplication quit 2>/dev/null || true
}
