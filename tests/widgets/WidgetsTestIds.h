// Resource ids of the widgets' test dialog.
#pragma once

#define IDD_WIDGETS_TEST 910
#define IDC_TEST_IMAGE_BUTTON 1213
#define IDC_TEST_BITMAP_BUTTON 1073
#define IDC_TEST_LABEL 1122
