# The hardening a distribution gives its packages, on by default
# (NORV_HARDEN). ELF: stack protector, _FORTIFY_SOURCE in optimised
# configurations, stack clash and control-flow protection, position-
# independent programs, relocations read-only and bound at load time, no
# executable stack, and shared libraries that name every library they
# use. Windows: stack protector, _FORTIFY_SOURCE, and DLLs and programs
# that ask for address space randomisation and DEP. The sanitizer and
# fuzz builds go without: their runtimes bring checks of their own and
# their shared libraries leave the runtime's symbols to the program.
#
# NORV_FORTIFIED is a generator expression, 1 where the build defines
# _FORTIFY_SOURCE (for the tests that check the installed files).
include(CMakeDependentOption)
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

cmake_dependent_option(NORV_HARDEN "Build with a distribution's hardening flags" ON
                       "NOT NORV_SANITIZE;NOT NORV_FUZZ" OFF)
set(NORV_FORTIFIED 0)
if(NOT NORV_HARDEN)
  return()
endif()

# Adds each of the compile flags that the compiler takes.
function(norv_harden_compile_flags)
  foreach(flag IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER "NORV_CXX_HAS${flag}" known)
    check_cxx_compiler_flag(${flag} ${known})
    if(${known})
      add_compile_options(${flag})
    endif()
  endforeach()
endfunction()

# Adds each of the link options (LINKER:...) that the linker takes, to
# the targets of the given types.
#   norv_harden_link_flags(<target types> <option>...)
function(norv_harden_link_flags types)
  list(TRANSFORM types REPLACE "(.+)" "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,\\1>")
  string(REPLACE ";" "," types "${types}")
  foreach(flag IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER "NORV_LD_HAS${flag}" known)
    check_linker_flag(CXX ${flag} ${known})
    if(${known})
      add_link_options("$<$<OR:${types}>:${flag}>")
    endif()
  endforeach()
endfunction()

# _FORTIFY_SOURCE only where the code is optimised (glibc warns without),
# at level 3 where the compiler can tell the size of run-time buffers. A
# packager's flags win: debhelper hands CPPFLAGS to CMake inside CFLAGS
# and CXXFLAGS (CMake reads no CPPFLAGS), and a second definition would
# clash with theirs.
function(norv_harden_fortify)
  set(given "${CMAKE_C_FLAGS} ${CMAKE_CXX_FLAGS}")
  foreach(config Release RelWithDebInfo MinSizeRel)
    string(TOUPPER ${config} upper)
    string(APPEND given " ${CMAKE_C_FLAGS_${upper}} ${CMAKE_CXX_FLAGS_${upper}}")
  endforeach()
  if(given MATCHES "_FORTIFY_SOURCE")
    message(STATUS "_FORTIFY_SOURCE: as the given compiler flags set it")
    set(NORV_FORTIFIED 1 PARENT_SCOPE)
    return()
  endif()
  if(NORV_COVERAGE)
    return()  # -O0 for line-exact counts
  endif()
  check_cxx_source_compiles([[
    #if !defined(__has_builtin) || !__has_builtin(__builtin_dynamic_object_size)
    #error no sizes of run-time buffers
    #endif
    int main() { return 0; }]] NORV_CXX_HAS_DYNAMIC_OBJECT_SIZE)
  set(level 2)
  if(NORV_CXX_HAS_DYNAMIC_OBJECT_SIZE)
    set(level 3)
  endif()
  set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  # Undefined first, in case the compiler itself defines another level.
  add_compile_options("$<${optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${level}>")
  set(NORV_FORTIFIED "${optimised}" PARENT_SCOPE)
endfunction()

norv_harden_compile_flags(-fstack-protector-strong)
norv_harden_fortify()

if(WIN32)
  if(MINGW AND NORV_CXX_HAS_fstack_protector_strong)
    # GCC links the stack protector's runtime (libssp) when it sees the
    # flag at link time too.
    add_link_options(-fstack-protector-strong)
  endif()
  set(pe_flags LINKER:--dynamicbase LINKER:--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND pe_flags LINKER:--high-entropy-va)  # a 64-bit address space only
  endif()
  norv_harden_link_flags("EXECUTABLE;SHARED_LIBRARY;MODULE_LIBRARY" ${pe_flags})
  return()
endif()

# ELF only: Windows probes every large frame already, and the notes
# -fcf-protection writes are ELF's (Windows' control-flow guard is another
# mechanism, which GCC does not build).
norv_harden_compile_flags(-fstack-clash-protection -fcf-protection)
check_pie_supported(OUTPUT_VARIABLE pie_message LANGUAGES C CXX)
if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
  message(WARNING "position-independent executables: ${pie_message}")
endif()
norv_harden_link_flags("EXECUTABLE;SHARED_LIBRARY;MODULE_LIBRARY"
                       "LINKER:-z,relro,-z,now" "LINKER:-z,noexecstack")
norv_harden_link_flags("SHARED_LIBRARY;MODULE_LIBRARY" "LINKER:--no-undefined")
