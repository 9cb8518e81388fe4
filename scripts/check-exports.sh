#!/usr/bin/env bash
# The shipping (32-bit) modules must export their entry points undecorated.
set -euo pipefail
bin=$1
status=0
expect() {  # file, names...
  local file=$1; shift
  local table
  table=$(i686-w64-mingw32-objdump -p "$bin/$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  for name in "$@"; do
    if ! grep -qE "\] $name\$" <<<"$table"; then
      echo "export check: $file does not export $name undecorated"; status=1
    fi
  done
}
expect kestrel.ds DS_Entry
expect testdrv_full.dll IO_HasScanner IO_StartScan IO_GetImageBlock IO_StartScanPage TD_Control
for f in plover.dll wren.dll; do
  [ -f "$bin/$f" ] && expect "$f" IO_StartScan IO_GetImageBlock IO_StartScanPage
done
# wren: every entry point of its own set, the "Attathed" spellings included.
[ -f "$bin/wren.dll" ] && expect wren.dll IO_HasScanner IO_HardwareCheck IO_EndScan IO_NeedCalibration \
  IO_IsCalibrationNeeded IO_CalibrateScanner IO_AdjustChannelValue IO_IsPaperOn IO_IsButtonPressed \
  IO_ProcessPaperJam IO_ResetHardware IO_ResolutionInfo IO_GetHalftonePattern IO_GetPatternData IO_FeedPage \
  IO_GetPageDimension IO_EndScanPage IO_IsCapableOf IO_GetDriverName IO_GetPaperNames IO_GetFilterNames \
  IO_IsADFAttached IO_IsTransA5Attathed IO_IsTransA4Attathed IO_IsSlideAttathed IO_GetPreviewResolution
[ $status -eq 0 ] && echo "export check: 32-bit exports are undecorated"
exit $status
