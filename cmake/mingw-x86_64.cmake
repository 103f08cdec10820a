# 64-bit Windows: the same sources, the build that runs under Wine here.
set(PW_MINGW_ARCH x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
