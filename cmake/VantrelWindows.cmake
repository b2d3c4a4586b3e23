# Windows: the system's Win32, Direct3D 9 and D3DX 9 in place of platform/'s
# stand-ins. The engine's includes stay as they are ("platform/d3d9/d3d9.h",
# ...): a folder of the build holds a header of each such name that includes
# the system's own, and every library of ours searches it first. The
# stand-in libraries become the system's import libraries under the same
# target names, so the CMake lists above them read the same on both systems.
set(VANTREL_SYSTEM_HEADERS ${CMAKE_BINARY_DIR}/system-headers)
foreach(pair
    "platform/win32/windows.h=windows.h"
    "platform/win32/windowsx.h=windowsx.h"
    "platform/d3d9/d3d9.h=d3d9.h"
    "platform/d3dx/d3dx9.h=d3dx9.h"
    "platform/d3dx/d3dx9math.h=d3dx9math.h"
    "platform/d3dx/d3dx9shader.h=d3dx9shader.h")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 ours)
  list(GET pair 1 system)
  file(CONFIGURE OUTPUT ${VANTREL_SYSTEM_HEADERS}/${ours} CONTENT "#pragma once\n#include <${system}>\n")
endforeach()

add_library(vantrel_win32 INTERFACE)
target_link_libraries(vantrel_win32 INTERFACE user32 gdi32 shell32)
add_library(vantrel_d3d9 INTERFACE)
target_link_libraries(vantrel_d3d9 INTERFACE d3d9 vantrel_win32)
# Windows' own Direct3DCreate9.
add_library(vantrel_d3d9_backends INTERFACE)
target_link_libraries(vantrel_d3d9_backends INTERFACE vantrel_d3d9)
add_library(vantrel_d3dx_math INTERFACE)
target_link_libraries(vantrel_d3dx_math INTERFACE d3dx9)
add_library(vantrel_d3dx INTERFACE)
target_link_libraries(vantrel_d3dx INTERFACE d3dx9 vantrel_d3d9)
add_compile_definitions(NOMINMAX)

# stb_image_write (the screenshots, the generator's slide): Debian's libstb
# is a Linux library, so its one implementation unit is compiled here from
# the same header.
# (vcpkg's stb port under MSVC; Debian's libstb-dev for the cross build.)
find_path(VANTREL_STB_INCLUDE_DIR stb_image_write.h PATH_SUFFIXES stb PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
add_library(vantrel_stb STATIC ${PROJECT_SOURCE_DIR}/platform/windows/StbImageWrite.c)
target_include_directories(vantrel_stb SYSTEM PUBLIC ${VANTREL_STB_INCLUDE_DIR})

# Dear ImGui with its Direct3D 9 back end for the statistics overlay: vcpkg's
# imgui[dx9-binding] under MSVC; for the mingw-w64 cross build, the sources of
# Debian's imgui package (scripts/fetch-imgui-source), named by
# VANTREL_IMGUI_SOURCE_DIR.
if(MSVC)
  find_package(imgui CONFIG REQUIRED)
  add_library(vantrel_imgui_dx9 INTERFACE)
  target_link_libraries(vantrel_imgui_dx9 INTERFACE imgui::imgui d3d9)
else()
  set(VANTREL_IMGUI_SOURCE_DIR "" CACHE PATH "Dear ImGui's sources (scripts/fetch-imgui-source writes them)")
  if(NOT VANTREL_IMGUI_SOURCE_DIR)
    message(FATAL_ERROR "VANTREL_IMGUI_SOURCE_DIR is not set: run scripts/fetch-imgui-source DIR and configure "
                        "with -DVANTREL_IMGUI_SOURCE_DIR=DIR")
  endif()
  set(dir ${VANTREL_IMGUI_SOURCE_DIR})
  add_library(vantrel_imgui_dx9 STATIC
    ${dir}/imgui.cpp ${dir}/imgui_draw.cpp ${dir}/imgui_tables.cpp ${dir}/imgui_widgets.cpp
    ${dir}/backends/imgui_impl_dx9.cpp)
  target_include_directories(vantrel_imgui_dx9 SYSTEM PUBLIC ${dir} ${dir}/backends)
  # Glyphs of equal size are packed in the order the sort leaves them: a
  # stable sort, as glibc's qsort is, gives the font atlas Linux builds.
  target_compile_definitions(vantrel_imgui_dx9 PUBLIC
    IMGUI_USER_CONFIG="${PROJECT_SOURCE_DIR}/platform/windows/ImGuiConfig.h")
  target_link_libraries(vantrel_imgui_dx9 PUBLIC d3d9)
  target_compile_options(vantrel_imgui_dx9 PRIVATE -w)  # not our code to mend
endif()

# Our own units build without a warning on Windows too.
if(NOT MSVC)
  add_compile_options(-Werror)
endif()
