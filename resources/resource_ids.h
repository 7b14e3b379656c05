/* Resource identifiers, shared by app.rc and the C++ code: plain #defines so windres reads them. */
#ifndef VELMORA_RESOURCE_IDS_H
#define VELMORA_RESOURCE_IDS_H

/* The lowest icon id is the one Explorer shows for the .exe. */
#define IDI_VELMORA 1

/* 16 x 16 button glyphs; the bottom-left pixel's colour (magenta) is transparent. */
#define IDB_OPEN 101
#define IDB_SAVE 102
#define IDB_EXIT 103
#define IDB_ABOUT 104

/* The logo as JPEG bytes (RCDATA), decoded with libjpeg at start-up. */
#define IDR_LOGO 201

#endif
