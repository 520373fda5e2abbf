// Identifiers shared by the window code and the resource script.
#pragma once

#define IDI_ORVANDI 1

// Form1's controls, in the order the window creates them (which is also the tab order).
#define IDC_LABEL2 100
#define IDC_LABEL_SYSDIR 101
#define IDC_LABEL4 102
#define IDC_LABEL5 103
#define IDC_FRAME1 104
#define IDC_LIST1 105
#define IDC_COMMAND1 106
#define IDC_FRAME2 107
#define IDC_COMMAND2 108
