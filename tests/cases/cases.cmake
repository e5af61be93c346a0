# The behaviour tables shared by the two hosts: the native test program (tests/CMakeLists.txt)
# and the Windows one under Wine (tests/wine). Each program adds its own host.
set(QUORVIN_CASES_TOOLKIT ${CMAKE_CURRENT_LIST_DIR}/cases.cpp)
set(QUORVIN_CASES_SOURCES
  ${QUORVIN_CASES_TOOLKIT}
  ${CMAKE_CURRENT_LIST_DIR}/references.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keystroke.cpp
  ${CMAKE_CURRENT_LIST_DIR}/in_place.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/persistence.cpp)
