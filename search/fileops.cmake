# File operations, cleanings and the journal writer of the search library.
# The journal's text is Windows-free (also built by the host preset); the rest needs Win32.
add_library(purSearchLogFormat STATIC ${CMAKE_CURRENT_LIST_DIR}/FileLogFormat.cpp)
target_include_directories(purSearchLogFormat PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(purSearchLogFormat PUBLIC purCommon)

if(WIN32)
  # The library's texts in the caller's ANSI code page.
  add_library(purSearchTexts STATIC ${CMAKE_CURRENT_LIST_DIR}/CallerTexts.cpp)
  target_include_directories(purSearchTexts PUBLIC ${CMAKE_CURRENT_LIST_DIR})

  # Exact names between the ANSI code page and the file system, for the engine as well.
  add_library(purSearchNames STATIC ${CMAKE_CURRENT_LIST_DIR}/ExactNames.cpp)
  target_include_directories(purSearchNames PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(purSearchNames PUBLIC purWinSupport)

  # The folders no cleaning may empty: the library's temporary-folder check and the options box.
  add_library(purProtectedFolders STATIC ${CMAKE_CURRENT_LIST_DIR}/ProtectedFolders.cpp)
  target_include_directories(purProtectedFolders PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(purProtectedFolders PUBLIC purWinSupport shell32)

  add_library(purSearchFileOps STATIC
    ${CMAKE_CURRENT_LIST_DIR}/uDiskUtils.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uShellAct.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uSHFileOP.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uWindows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Cleanings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileLog.cpp
  )
  target_include_directories(purSearchFileOps PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(purSearchFileOps PUBLIC purSearchNames purSearchDefinition purSearchTexts purSearchLogFormat purProtectedFolders purCommon
    shell32 user32)
endif()
