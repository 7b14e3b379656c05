/* Resource identifiers, shared by app.rc and the C++ code: plain #defines so windres reads them. */
#ifndef VELMORA_RESOURCE_IDS_H
#define VELMORA_RESOURCE_IDS_H

/* The lowest icon id is the one Explorer shows for the .exe. */
#define IDI_VELMORA 1

/* Button glyphs, 16 x 16, and the same glyphs at 20, 24 and 32 pixels, 10, 20 and 30 ids on;
   in each, the bottom-left pixel's colour (magenta) is transparent. */
#define IDB_OPEN 101
#define IDB_SAVE 102
#define IDB_EXIT 103
#define IDB_ABOUT 104
#define IDB_OPEN_20 111
#define IDB_SAVE_20 112
#define IDB_EXIT_20 113
#define IDB_ABOUT_20 114
#define IDB_OPEN_24 121
#define IDB_SAVE_24 122
#define IDB_EXIT_24 123
#define IDB_ABOUT_24 124
#define IDB_OPEN_32 131
#define IDB_SAVE_32 132
#define IDB_EXIT_32 133
#define IDB_ABOUT_32 134

/* The logo as JPEG bytes (RCDATA), decoded with libjpeg at start-up. */
#define IDR_LOGO 201

#endif
