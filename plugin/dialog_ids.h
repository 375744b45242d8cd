#pragma once
// Ids of the settings dialog's template and controls, shared by the resource
// script and the code. Plain macros, since the resource compiler reads this too.

#define SETTINGS_DIALOG_TEMPLATE 101

#define CONTROL_STATIC_TEXT (-1)  // frames and labels that the code never touches
#define CONTROL_PATH_BOX 1000
#define CONTROL_BROWSE_BUTTON 1001
#define CONTROL_INFO_BOX 1002
#define CONTROL_GAIN_SLIDER 1003
#define CONTROL_POWER_BOX 1004
#define CONTROL_OK_BUTTON 1005
#define CONTROL_ABOUT_BUTTON 1006
#define CONTROL_STARTUP_BOX 1007
#define CONTROL_DB_LABEL 1008
