// Marks secret-derived bytes that are public by design, for the constant-time
// check (bench/ct_mlkem, built with TESVI_CT_CHECK), which runs under valgrind
// with the secrets marked undefined: any branch or memory index that depends
// on them is reported unless declassified here, with the reason next to the
// call. In normal builds it does nothing.
#pragma once

#include <cstddef>

#ifdef TESVI_CT_CHECK
#include <valgrind/memcheck.h>
#endif

namespace tesvi_crypto::pqc::mlkem {

inline void declassify([[maybe_unused]] const void* p, [[maybe_unused]] size_t bytes) {
#ifdef TESVI_CT_CHECK
    VALGRIND_MAKE_MEM_DEFINED(p, bytes);
#endif
}

}  // namespace tesvi_crypto::pqc::mlkem
