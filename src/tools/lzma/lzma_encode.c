/* The packer's encoder call, on the SDK's LzmaEncode (single-threaded). */
#include <stdlib.h>

#include "LzmaEnc.h"
#include "lzma_one_shot.h"

static void* AllocBlock(void* unused, size_t size) {
  (void)unused;
  return size == 0 ? NULL : malloc(size);
}

static void FreeBlock(void* unused, void* address) {
  (void)unused;
  free(address);
}

int MivoraLzmaEncode(unsigned char* dest, size_t* destSize, const unsigned char* src, size_t srcSize, int lc,
                     int lp, int pb, unsigned dictionarySize, int level,
                     unsigned char properties[kMivoraLzmaPropertiesSize]) {
  ISzAlloc alloc = {AllocBlock, FreeBlock};
  CLzmaEncProps props;
  SizeT outLength = *destSize;
  SizeT propsLength = kMivoraLzmaPropertiesSize;
  SRes result;
  LzmaEncProps_Init(&props);
  props.level = level;
  props.dictSize = dictionarySize;
  /* Lets the encoder shrink its dictionary (and match finder) to the input. */
  props.reduceSize = (UInt32)(srcSize > 0xFFFFFFFFu ? 0xFFFFFFFFu : srcSize);
  props.lc = lc;
  props.lp = lp;
  props.pb = pb;
  props.writeEndMark = 0;
  props.numThreads = 1;
  result =
      LzmaEncode(dest, &outLength, src, srcSize, &props, properties, &propsLength, 0, NULL, &alloc, &alloc);
  *destSize = outLength;
  switch (result) {
    case SZ_OK:
      return propsLength == kMivoraLzmaPropertiesSize ? kMivoraLzmaOk : kMivoraLzmaBadParameter;
    case SZ_ERROR_MEM:
      return kMivoraLzmaNoMemory;
    case SZ_ERROR_OUTPUT_EOF:
      return kMivoraLzmaOutputFull;
    default:
      return kMivoraLzmaBadParameter;
  }
}
