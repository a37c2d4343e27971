// Resource identifiers, shared by the resource script and the code.
#pragma once

#define IDS_APP_TITLE 103
#define IDI_QUORVEX 107
#define IDI_SMALL 108
#define IDC_QUORVEX 109
