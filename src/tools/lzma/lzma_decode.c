/* The one decoder call of the program, on the SDK's LzmaDecode. */
#include <stdlib.h>

#include "LzmaDec.h"
#include "lzma_one_shot.h"

static void* AllocTables(void* unused, size_t size) {
  (void)unused;
  return size == 0 ? NULL : malloc(size);
}

static void FreeTables(void* unused, void* address) {
  (void)unused;
  free(address);
}

int MivoraLzmaDecode(unsigned char* dest, size_t destSize, const unsigned char* src, size_t srcSize,
                     const unsigned char properties[kMivoraLzmaPropertiesSize], size_t* produced,
                     size_t* consumed) {
  ISzAlloc alloc = {AllocTables, FreeTables};
  SizeT outLength = destSize;
  SizeT inLength = srcSize;
  ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
  SRes result = LzmaDecode(dest, &outLength, src, &inLength, properties, kMivoraLzmaPropertiesSize,
                           LZMA_FINISH_END, &status, &alloc);
  *produced = outLength;
  *consumed = inLength;
  if (result == SZ_ERROR_MEM) return kMivoraLzmaNoMemory;
  if (result != SZ_OK) return kMivoraLzmaBadData;
  /* With finish mode "end" a good stream stops either at its end marker or
     exactly where the output is full with the range coder finished. */
  if (status != LZMA_STATUS_FINISHED_WITH_MARK && status != LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK)
    return kMivoraLzmaBadData;
  return kMivoraLzmaOk;
}
