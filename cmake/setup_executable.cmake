# Making setups: the release writer adds a release folder to the prebuilt
# program, as a release author does; no compiler or linker runs for a release.

# Options of the writer for this build's programs: a 64-bit build makes
# 64-bit setups, which the writer makes only when asked.
set(TAVIX_WRITER_OPTIONS "")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVIX_WRITER_OPTIONS --allow-64bit)
endif()
set(TAVIX_WRITER_LEVEL "" CACHE STRING "The writer's zstd level for this build's setups (1-22, or store); empty: its default")
if(TAVIX_WRITER_LEVEL STREQUAL "store")
  list(APPEND TAVIX_WRITER_OPTIONS --store)
elseif(TAVIX_WRITER_LEVEL)
  list(APPEND TAVIX_WRITER_OPTIONS --level ${TAVIX_WRITER_LEVEL})
endif()

# tavix_setup(<target> RELEASE <release_dir> OUTPUT <setup.exe>
#             [PROGRAM <program_target>] [DEPENDS files_or_targets...])
# Writes <setup.exe> from the program (default: the prebuilt setup program,
# setup_program) and the release folder, after the release check; it is
# written anew when the program, the writer or a file of the release changes,
# and read back at once with the writer's --verify against the release: a
# setup that does not decode to its release fails the build.
# <target> builds it (part of ALL). TAVIX_WRITER_LEVEL (a cache setting)
# gives the writer another level, "store" writes the items as they are.
function(tavix_setup target)
  cmake_parse_arguments(S "" "RELEASE;OUTPUT;PROGRAM" "DEPENDS" ${ARGN})
  if(NOT S_PROGRAM)
    set(S_PROGRAM setup_program)
  endif()
  get_filename_component(name ${S_OUTPUT} NAME)
  add_custom_command(
    OUTPUT ${S_OUTPUT}
    COMMAND ${TAVIX_HOST_TOOLS}/release_writer $<TARGET_FILE:${S_PROGRAM}> ${S_RELEASE} -o ${S_OUTPUT}
            --depfile ${S_OUTPUT}.d --quiet ${TAVIX_WRITER_OPTIONS}
    COMMAND ${TAVIX_HOST_TOOLS}/release_writer --verify ${S_OUTPUT} ${S_RELEASE}
    DEPFILE ${S_OUTPUT}.d
    DEPENDS host_tools ${TAVIX_HOST_TOOLS}/release_writer ${S_PROGRAM} ${S_DEPENDS}
    COMMENT "Writing ${name} from the release in ${S_RELEASE}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${S_OUTPUT})
endfunction()

# The application manifest names the processor the program is made for; a
# 64-bit build carries a copy that names amd64 (resources/app.rc picks it).
set(TAVIX_APP_MANIFEST ${CMAKE_SOURCE_DIR}/resources/app.manifest)
if(TAVIX_WIN_BITS EQUAL 64)
  file(READ ${TAVIX_APP_MANIFEST} manifest)
  string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"amd64\"" manifest "${manifest}")
  if(NOT manifest MATCHES "processorArchitecture=\"amd64\"")
    message(FATAL_ERROR "resources/app.manifest names no x86 processor to replace")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TAVIX_APP_MANIFEST})
  set(TAVIX_APP_MANIFEST ${CMAKE_BINARY_DIR}/manifest/app-x64.manifest)
  file(CONFIGURE OUTPUT ${TAVIX_APP_MANIFEST} CONTENT "${manifest}" @ONLY)
endif()

# tavix_program(<target> <output_name> [WIN32] SOURCES...)
# A program linked as the setup program is: the loader maps the resources a
# release writer adds instead of reading them (file alignment equal to the
# section alignment), and no time stamp in the headers.
function(tavix_program target output_name)
  add_executable(${target} ${ARGN})
  target_link_options(${target} PRIVATE ${TAVIX_WIN_LINK} -Wl,--file-alignment=0x1000 -Wl,--gc-sections -s
                      -Wl,--no-insert-timestamp)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name})
endfunction()
