// Zindle's own skin, compiled in: the SkinBlock packed from assets/zindle_skin.bmp at build time.
#pragma once

extern const unsigned char ZindleSkinBlock[];
extern const unsigned int ZindleSkinBlockSize;
