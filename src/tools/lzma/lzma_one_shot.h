/* One-shot LZMA coding through the LZMA SDK (Debian lzma-dev), behind a
   header of standard types only: the SDK's Types.h pulls in windows.h on
   Windows, which the portable code must not see. */
#ifndef MIVORA_LZMA_ONE_SHOT_H
#define MIVORA_LZMA_ONE_SHOT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { kMivoraLzmaPropertiesSize = 5 };

enum MivoraLzmaResult {
  kMivoraLzmaOk = 0,
  kMivoraLzmaBadData = 1, /* damaged stream, bad properties, stream ended early or late */
  kMivoraLzmaNoMemory = 2,
  kMivoraLzmaOutputFull = 3, /* encoder: the output buffer is too small */
  kMivoraLzmaBadParameter = 4
};

/* Decodes the raw stream `src` into exactly `destSize` bytes: the output must
   end at an end marker or with the range coder cleanly finished (finish mode
   "end"). The output buffer is the decoder's dictionary, so the dictionary
   size in the properties is never allocated. Any lc from 0 to 8 is read.
   `produced` and `consumed` receive the byte counts. */
int MivoraLzmaDecode(unsigned char* dest, size_t destSize, const unsigned char* src, size_t srcSize,
                     const unsigned char properties[kMivoraLzmaPropertiesSize], size_t* produced,
                     size_t* consumed);

/* Encodes `src` as a raw stream with the given literal and position bits and
   no end marker. `destSize` holds the buffer size on entry and the stream
   size on return; `properties` receives the 5 property bytes. */
int MivoraLzmaEncode(unsigned char* dest, size_t* destSize, const unsigned char* src, size_t srcSize, int lc,
                     int lp, int pb, unsigned dictionarySize, int level,
                     unsigned char properties[kMivoraLzmaPropertiesSize]);

#ifdef __cplusplus
}
#endif

#endif
