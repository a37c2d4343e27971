// Ids of the string table script's test case, one in hex and one in decimal.
#pragma once
#define IDS_A 0x10 // hex
#define IDS_B 200
