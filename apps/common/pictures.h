// Icon-file bytes of the programs' pictures (drawn by tools/draw_icons.py).
#pragma once

// 128 x 128, 32 bits: the window icon at rest and while a check runs.
extern const unsigned char kIdleIconFile[67646];
extern const unsigned char kBusyIconFile[67646];
// 16 x 15, 32 bits with mask: project row images 0, 1 and 2.
extern const unsigned char kRowImageRunningFile[1082];
extern const unsigned char kRowImageRestingFile[1082];
extern const unsigned char kRowImageSkippedFile[1082];
// 128 x 128, 32 bits: Dunmere's window icon.
extern const unsigned char kDunmereIconFile[67646];
