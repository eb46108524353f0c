// Resource ids of the localization tests' dialog.
#pragma once

#define IDD_TEST_DIALOG 900
