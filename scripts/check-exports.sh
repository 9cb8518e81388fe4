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
# file, names...: the export table holds exactly these names, no more.
expect_exactly() {
  local file=$1; shift
  expect "$file" "$@"
  local actual expected
  actual=$(i686-w64-mingw32-objdump -p "$bin/$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
           | tail -n +2 | sed -n 's/^.*\] //p' | sort)
  expected=$(printf '%s\n' "$@" | sort)
  if [ "$actual" != "$expected" ]; then
    echo "export check: $file exports other names than expected:"
    diff <(echo "$expected") <(echo "$actual") | sed -n 's/^[<>]/  &/p'
    status=1
  fi
}
# The plover driver's names, the misspelt attachment queries and the standard-call
# _SetFunc@4 included; the simulated build exports the same.
plover_names=(IO_HasScanner IO_HardwareCheck IO_StartScan IO_EndScan IO_IsCalibrationNeeded
  IO_CalibrateScanner IO_IsPaperOn IO_IsButtonOn IO_ProcessPaperJam IO_ResetHardware
  IO_ResolutionInfo IO_GetHalftonePattern IO_GetPatternData IO_Clean IO_FeedOn IO_RunSteps
  IO_FeedPage IO_GetPageDimension IO_StartScanPage IO_GetImageBlock IO_EndScanPage
  IO_AdjustChannelValue IO_IsCapableOf IO_GetPaperNames IO_GetDriverName IO_GetFilterNames
  IO_GetPreviewResolution IO_IsADFAttached IO_IsTransA5Attathed IO_IsTransA4Attathed
  IO_IsSlideAttathed IO_GetVidPid IO_Scan IO_AbortScan _SetFunc@4)

expect kestrel.ds DS_Entry
expect testdrv_full.dll IO_HasScanner IO_StartScan IO_GetImageBlock IO_StartScanPage TD_Control
for f in plover.dll plover_sim.dll; do
  if [ -f "$bin/$f" ]; then expect_exactly "$f" "${plover_names[@]}"
  else echo "export check: $f is missing"; status=1; fi
done
for f in wren.dll; do
  if [ -f "$bin/$f" ]; then expect "$f" IO_StartScan IO_GetImageBlock IO_StartScanPage; fi
done
# wren: every entry point of its own set, the "Attathed" spellings included.
[ -f "$bin/wren.dll" ] && expect wren.dll IO_HasScanner IO_HardwareCheck IO_EndScan IO_NeedCalibration \
  IO_IsCalibrationNeeded IO_CalibrateScanner IO_AdjustChannelValue IO_IsPaperOn IO_IsButtonPressed \
  IO_ProcessPaperJam IO_ResetHardware IO_ResolutionInfo IO_GetHalftonePattern IO_GetPatternData IO_FeedPage \
  IO_GetPageDimension IO_EndScanPage IO_IsCapableOf IO_GetDriverName IO_GetPaperNames IO_GetFilterNames \
  IO_IsADFAttached IO_IsTransA5Attathed IO_IsTransA4Attathed IO_IsSlideAttathed IO_GetPreviewResolution
[ $status -eq 0 ] && echo "export check: 32-bit exports are undecorated"
exit $status
