#pragma once

// The coder's per-symbol functions must be inlined into the item codecs' loops.
#if defined(_MSC_VER)
#define KL_LAS_INLINE __forceinline
#else
#define KL_LAS_INLINE inline __attribute__((always_inline))
#endif
