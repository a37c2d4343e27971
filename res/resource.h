// Resource identifiers, shared by the resource script and the code.
#pragma once

#define IDS_APP_TITLE 103
#define IDI_QUORVEX 107
#define IDI_SMALL 108
#define IDC_QUORVEX 109
// Texts for people, from 256 on: English here and in quorvex.rc, other languages in po/.
#define IDS_HELP 256
#define IDS_USAGE_ERROR 257
#define IDS_UNREADABLE_COMMAND_LINE 258
#define IDS_UNEXPECTED_ARGUMENT 259
#define IDS_UNKNOWN_OPTION 260
#define IDS_GIVEN_TWICE 261
#define IDS_TAKES_NO_VALUE 262
#define IDS_NEEDS_VALUE 263
#define IDS_NOT_A_NUMBER 264
#define IDS_INTERVAL_RANGE 265
#define IDS_CHANNEL_RANGE 266
#define IDS_WATCH_ON_LINUX 267
#define IDS_HEADLESS_ON_LINUX 268
#define IDS_LIST_ON_LINUX 269
#define IDS_DEVICE_ON_LINUX 270
#define IDS_METRICS_ON_LINUX 271
