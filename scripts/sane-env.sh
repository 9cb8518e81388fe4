# Sourced by the scripts that run scanimage against the simulated scanner.
#   sane_env_start <native-build> <config-dir> <data-dir>
# writes a private SANE configuration that loads this backend alone (another backend
# could claim the device) and exports the environment that finds it, with the
# calibration data in <data-dir>; sets SANE_BUS (the mocked bus's host program) and
# SANE_BUS_DEVICE (the SANE name of the bus's device 0).
sane_env_start() {
  local build=$1 config=$2 data=$3
  mkdir -p "$config"
  echo kestrel > "$config/dll.conf"
  cp "$build/sane/kestrel.conf" "$config/"
  export SANE_CONFIG_DIR="$config" LD_LIBRARY_PATH="$build/sane" XDG_DATA_HOME="$data"
  unset SANE_DEFAULT_DEVICE
  SANE_BUS="$build/bin/scansim-bus"
  SANE_BUS_DEVICE=kestrel:usb:001:002
}
