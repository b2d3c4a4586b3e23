# The libraries behind D3DX: glslang (HLSL front end and SPIR-V back end, with
# the SPIRV-Tools optimizer it uses for HLSL legalisation), SPIRV-Cross (GLSL
# back end) and stb_image (header only). Debian ships them as static
# libraries without usable CMake packages, so they are found one by one.
set(VANTREL_D3DX_DEPS)
foreach(lib glslang-default-resource-limits SPIRV glslang MachineIndependent OGLCompiler GenericCodeGen OSDependent
            SPIRV-Tools-opt SPIRV-Tools spirv-cross-glsl spirv-cross-core)
  string(MAKE_C_IDENTIFIER "VANTREL_LIB_${lib}" var)
  find_library(${var} NAMES ${lib})
  if(${var})
    list(APPEND VANTREL_D3DX_DEPS ${${var}})
  elseif(NOT lib STREQUAL "OGLCompiler")
    message(FATAL_ERROR "D3DX needs the library ${lib} (packages glslang-dev, spirv-tools, libspirv-cross-c-shared-dev)")
  endif()
endforeach()
list(APPEND VANTREL_D3DX_DEPS Threads::Threads)
pkg_check_modules(VANTREL_STB REQUIRED IMPORTED_TARGET stb)
list(APPEND VANTREL_D3DX_DEPS PkgConfig::VANTREL_STB)
