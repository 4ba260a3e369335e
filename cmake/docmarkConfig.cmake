# find_package(docmark) gives the imported target docmark::docmark.
include(${CMAKE_CURRENT_LIST_DIR}/docmarkTargets.cmake)
