// Resource ids of the data source's dialogs, pictures and menus (kestrel.rc).
#pragma once

// Progress window of a page scan
#define IDD_SCAN_PROGRESS           600
#define IDC_PROGRESS_PERCENT        731
#define IDC_PROGRESS_BAR            1006
#define IDC_PROGRESS_PICTURE        1056
