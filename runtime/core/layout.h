// Records keep the 32-bit layouts the runtime was designed with; the 64-bit build used to run
// the tests on hosts without 32-bit support only widens the pointers.
#pragma once

#define QV_ASSERT_SIZE(type, size)                                                                 \
    static_assert(sizeof(void*) != 4 || sizeof(type) == (size), #type " keeps its layout")
