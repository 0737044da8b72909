# The program's own code and the JUCE modules, compiled once into one static
# library that the app, the tests, the benchmarks and the fuzzers all link. The
# modules are compiled as their own object library so that they stay free of the
# instrumentation that sanitizer builds put on the program's own code.

set(LARKSPIRE_JUCE_MODULES
    juce_core juce_events juce_data_structures juce_cryptography juce_graphics
    juce_gui_basics juce_gui_extra juce_audio_basics juce_audio_devices)

file(GLOB_RECURSE LARKSPIRE_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h)
list(FILTER LARKSPIRE_SOURCES EXCLUDE REGEX "/src/app/main\\.cpp$")

# Artwork under resources/ (everything but the installed Content folder) is
# compiled into the library and looked up by name (core/EmbeddedResources.h).
file(GLOB_RECURSE LARKSPIRE_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
list(FILTER LARKSPIRE_RESOURCE_FILES EXCLUDE REGEX "/resources/Content/")
set(LARKSPIRE_RESOURCE_SOURCE ${CMAKE_BINARY_DIR}/generated/EmbeddedResourceData.cpp)
list(JOIN LARKSPIRE_RESOURCE_FILES "|" LARKSPIRE_RESOURCE_LIST)
add_custom_command(OUTPUT ${LARKSPIRE_RESOURCE_SOURCE}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${LARKSPIRE_RESOURCE_SOURCE} "-DFILES=${LARKSPIRE_RESOURCE_LIST}"
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
    DEPENDS ${LARKSPIRE_RESOURCE_FILES} ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
    COMMENT "Embedding artwork"
    VERBATIM)

add_library(larkspire_juce OBJECT)
add_library(larkspire_core STATIC ${LARKSPIRE_SOURCES} ${LARKSPIRE_RESOURCE_SOURCE}
    $<TARGET_OBJECTS:larkspire_juce>)
larkspire_instrument(larkspire_core)

# A rule script's memory budget counts what its own thread allocates
# (src/core/ThreadMemoryAccount.cpp). Every program that links the library has the
# allocation functions its own code calls wrapped, so that they can be counted.
set(LARKSPIRE_WRAPPED_ALLOCATION_FUNCTIONS
    malloc calloc realloc free posix_memalign aligned_alloc memalign
    _Znwm _Znam _ZnwmRKSt9nothrow_t _ZnamRKSt9nothrow_t
    _ZnwmSt11align_val_t _ZnamSt11align_val_t
    _ZnwmSt11align_val_tRKSt9nothrow_t _ZnamSt11align_val_tRKSt9nothrow_t
    _ZdlPv _ZdaPv _ZdlPvm _ZdaPvm _ZdlPvRKSt9nothrow_t _ZdaPvRKSt9nothrow_t
    _ZdlPvSt11align_val_t _ZdaPvSt11align_val_t _ZdlPvmSt11align_val_t _ZdaPvmSt11align_val_t
    _ZdlPvSt11align_val_tRKSt9nothrow_t _ZdaPvSt11align_val_tRKSt9nothrow_t)
foreach(symbol IN LISTS LARKSPIRE_WRAPPED_ALLOCATION_FUNCTIONS)
    target_link_options(larkspire_core INTERFACE "LINKER:--wrap=${symbol}")
endforeach()

set(LARKSPIRE_JUCE_DEFINITIONS
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_USE_CURL=1
    JUCE_WEB_BROWSER=0
    JUCE_LOAD_CURL_SYMBOLS_LAZILY=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_USE_DARK_SPLASH_SCREEN=1
    JUCE_REPORT_APP_USAGE=0
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    JUCE_INCLUDE_ZLIB_CODE=0
    JUCE_INCLUDE_PNGLIB_CODE=0
    JUCE_INCLUDE_JPEGLIB_CODE=0
    JUCE_STANDALONE_APPLICATION=1)
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    list(APPEND LARKSPIRE_JUCE_DEFINITIONS DEBUG=1 _DEBUG=1)
else()
    list(APPEND LARKSPIRE_JUCE_DEFINITIONS NDEBUG=1)
endif()

foreach(module IN LISTS LARKSPIRE_JUCE_MODULES)
    target_link_libraries(larkspire_juce PRIVATE juce::${module})
    list(APPEND LARKSPIRE_JUCE_DEFINITIONS JUCE_MODULE_AVAILABLE_${module}=1)
endforeach()
target_compile_definitions(larkspire_juce PRIVATE ${LARKSPIRE_JUCE_DEFINITIONS})
target_include_directories(larkspire_juce PRIVATE ${JUCE_MODULES_DIR})
target_link_libraries(larkspire_juce PRIVATE PkgConfig::LARKSPIRE_SYSLIBS)
if(LARKSPIRE_TSAN)
    # The thread sanitizer only sees the ordering that instrumented code makes:
    # JUCE's threads, locks and events must carry it too, or every hand-over
    # through them reads as a race.
    target_compile_options(larkspire_juce PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
endif()

target_compile_definitions(larkspire_core PUBLIC ${LARKSPIRE_JUCE_DEFINITIONS})
target_include_directories(larkspire_core PUBLIC
    ${JUCE_MODULES_DIR}
    ${CMAKE_SOURCE_DIR}/src)
find_package(Threads REQUIRED)
target_link_libraries(larkspire_core PUBLIC PkgConfig::LARKSPIRE_SYSLIBS Threads::Threads ${CMAKE_DL_LIBS} rt)

# The JUCE module headers are most of the work of every translation unit: each target
# compiles them once, as a precompiled header (tests/ adds its own for the test runners).
set(LARKSPIRE_PCH_HEADERS
    <juce_core/juce_core.h> <juce_events/juce_events.h> <juce_data_structures/juce_data_structures.h>
    <juce_cryptography/juce_cryptography.h> <juce_graphics/juce_graphics.h>
    <juce_gui_basics/juce_gui_basics.h> <juce_gui_extra/juce_gui_extra.h>
    <juce_audio_basics/juce_audio_basics.h> <juce_audio_devices/juce_audio_devices.h>)
target_precompile_headers(larkspire_core PRIVATE ${LARKSPIRE_PCH_HEADERS})
# These need the X11 declarations beside JUCE's, which the precompiled header lacks.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/ui/PendingInputWake.cpp ${CMAKE_SOURCE_DIR}/src/ui/WindowSystem.cpp
    PROPERTIES SKIP_PRECOMPILE_HEADERS ON)

# Warnings for our own sources only; the JUCE module sources are not ours to fix.
set_source_files_properties(${LARKSPIRE_SOURCES} PROPERTIES
    COMPILE_OPTIONS "-Wall;-Wextra;-Wno-unused-parameter")

# Installed sample content lives beside the executable, as the program expects. It is
# copied again whenever a file of it changes.
function(larkspire_copy_content target)
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/resources/Content)
        return()
    endif()
    file(GLOB_RECURSE content_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/Content/*)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_content.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E remove_directory ${CMAKE_BINARY_DIR}/bin/Content
        COMMAND ${CMAKE_COMMAND} -E copy_directory
            ${CMAKE_SOURCE_DIR}/resources/Content ${CMAKE_BINARY_DIR}/bin/Content
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${content_files}
        VERBATIM)
    add_custom_target(${target}_content DEPENDS ${stamp})
    add_dependencies(${target} ${target}_content)
endfunction()

juce_add_gui_app(Larkspire
    PRODUCT_NAME "Larkspire"
    COMPANY_NAME "Ardentis"
    VERSION 1.1.2
    NEEDS_CURL TRUE
    NEEDS_WEB_BROWSER FALSE)
target_sources(Larkspire PRIVATE ${CMAKE_SOURCE_DIR}/src/app/main.cpp)
target_link_libraries(Larkspire PRIVATE larkspire_core)
set_target_properties(Larkspire PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
larkspire_copy_content(Larkspire)
