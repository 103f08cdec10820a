# 32-bit Windows, the deliverable.
set(PW_MINGW_ARCH i686)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
