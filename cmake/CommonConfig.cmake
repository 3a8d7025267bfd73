# One place for the flags every target of ours shares; warnings stay ours, not our users'.
add_library(sentaro_flags INTERFACE)
target_compile_features(sentaro_flags INTERFACE cxx_std_20)
target_compile_options(sentaro_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Werror)
# The scripted builds compile a folder's files together, a third of the time: there a file's own
# anonymous-namespace types look to GCC like a header's.
if(CMAKE_UNITY_BUILD)
  target_compile_options(sentaro_flags INTERFACE -Wno-subobject-linkage)
endif()
target_compile_definitions(sentaro_flags INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# Sanitizers travel with the library: whatever links it must link their runtimes too.
add_library(sentaro_sanitize INTERFACE)
if(SENTARO_SANITIZE)
  target_compile_options(sentaro_sanitize INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(sentaro_sanitize INTERFACE -fsanitize=address,undefined)
endif()

# A library of one folder: its sources, the project folder as include root, the flags of ours.
function(sentaro_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_features(${name} PUBLIC cxx_std_20)
  target_link_libraries(${name} PUBLIC sentaro_sanitize PRIVATE sentaro_flags)
endfunction()
