// Zindle's own skin, compiled in: the SkinBlocks packed at build time from assets/zindle_skin.bmp
// (drawn for 100 %, 575 x 385) and assets/zindle_skin_200.png (the same drawing for 200 %). A build
// without 200 % art has a ZindleSkinBlock200Size of 0.
#pragma once

extern const unsigned char ZindleSkinBlock[];
extern const unsigned int ZindleSkinBlockSize;
extern const unsigned char ZindleSkinBlock200[];
extern const unsigned int ZindleSkinBlock200Size;
