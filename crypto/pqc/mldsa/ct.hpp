// Marks secret-derived bytes whose value may be revealed: the constant-time
// check (bench/ct_mldsa, built with TESVI_CT_CHECK) runs under valgrind with
// the secrets marked undefined, and every place that branches on or indexes by
// such a value must either not exist or be declassified here, with the reason
// why the leak is harmless written next to the call. In normal builds it does nothing.
#pragma once

#include <cstddef>

#ifdef TESVI_CT_CHECK
#include <valgrind/memcheck.h>
#endif

namespace tesvi_crypto::pqc::mldsa65 {

template <class T>
inline void declassify([[maybe_unused]] const T& value) {
#ifdef TESVI_CT_CHECK
    VALGRIND_MAKE_MEM_DEFINED(&value, sizeof(T));
#endif
}

// The value itself, declassified: for decisions that are branched on.
template <class T>
inline T declassified(T value) {
    declassify(value);
    return value;
}

}  // namespace tesvi_crypto::pqc::mldsa65
