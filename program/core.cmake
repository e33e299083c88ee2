# The windowless core of the program: version information, settings store, library binding.
# Included by program/CMakeLists.txt. The Windows-free units also build on the host.

add_library(purProgramText STATIC support/VersionNumbers.cpp support/SettingsValues.cpp)
target_include_directories(purProgramText PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_include_directories(purProgramText PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})  # the texts header

if(NOT WIN32)
  return()
endif()

# The settings store in the registry, also linked by the options box.
add_library(purSettings STATIC support/VersionInfo.cpp support/RegistryKey.cpp support/PURGORegistry.cpp
  support/AgentStartup.cpp)
target_include_directories(purSettings PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(purSettings PUBLIC purProgramText purWinSupport version advapi32)

add_library(purProgramCore STATIC support/SafeDllLoad.cpp LibraryClass.cpp)
target_include_directories(purProgramCore PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(purProgramCore PUBLIC purSettings purCommon user32)
