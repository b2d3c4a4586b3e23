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

# The translator's identity, part of every shader cache key (with glslang's
# version from its header): the versions of the libraries that translate and a digest of our own translation code, so
# that a change to any of them makes earlier entries foreign. Editing the
# translation code configures again and renews the digest.
pkg_check_modules(VANTREL_SPIRV_CROSS QUIET spirv-cross-c-shared)
pkg_check_modules(VANTREL_SPIRV_TOOLS QUIET SPIRV-Tools)
set(translator_sources ${CMAKE_CURRENT_LIST_DIR}/ShaderCompiler.cpp ${PROJECT_SOURCE_DIR}/platform/d3d9/ShaderBlob.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${translator_sources})
set(translator_digest "")
foreach(source ${translator_sources})
  file(SHA256 ${source} digest)
  string(APPEND translator_digest ${digest})
endforeach()
string(SHA256 translator_digest "${translator_digest}")
string(SUBSTRING ${translator_digest} 0 16 translator_digest)
set(VANTREL_TRANSLATOR_IDENTITY
    "spirv-tools-${VANTREL_SPIRV_TOOLS_VERSION} spirv-cross-${VANTREL_SPIRV_CROSS_VERSION} translator-${translator_digest}")
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/platform/d3dx/ShaderTranslatorIdentity.h
     CONTENT "#pragma once\n#define VANTREL_SHADER_TRANSLATOR_IDENTITY \"@VANTREL_TRANSLATOR_IDENTITY@\"\n" @ONLY)
