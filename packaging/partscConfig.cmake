# find_package(partsc CONFIG): the imported target partsc::partsc, the
# static library with the headers of <partsc/partsc.h> and <partsc/model.h>.
include("${CMAKE_CURRENT_LIST_DIR}/partscTargets.cmake")
