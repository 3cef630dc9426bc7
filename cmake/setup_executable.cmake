# Making setup executables: a payload object from a release folder, and an
# executable from the program's code, its own resources and a payload.

# tavix_payload(<out_obj> <release_dir> [DEPENDS files_or_targets...])
# Checks the release and writes every item, the version resource and the
# checksum table into a binary resource file, which windres only converts
# into <out_obj>; the resource file is removed afterwards (it is as large as
# the payload).
function(tavix_payload out_obj release_dir)
  cmake_parse_arguments(P "" "" "DEPENDS" ${ARGN})
  get_filename_component(stem ${out_obj} NAME_WE)
  get_filename_component(dir ${out_obj} DIRECTORY)
  add_custom_command(
    OUTPUT ${out_obj}
    COMMAND ${TAVIX_HOST_TOOLS}/release_builder ${release_dir} ${dir}/${stem}.res
            --depfile ${dir}/${stem}.d --dep-target ${out_obj}
    COMMAND ${CMAKE_RC_COMPILER} -J res -O coff -i ${dir}/${stem}.res -o ${out_obj}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${dir}/${stem}.res
    DEPFILE ${dir}/${stem}.d
    DEPENDS host_tools ${TAVIX_HOST_TOOLS}/release_builder ${P_DEPENDS}
    COMMENT "Embedding the release in ${release_dir}"
    VERBATIM)
  set_source_files_properties(${out_obj} PROPERTIES EXTERNAL_OBJECT ON GENERATED ON)
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

# tavix_setup_executable(<target> <payload_obj> <output_name>)
function(tavix_setup_executable target payload_obj output_name)
  add_executable(${target} WIN32 $<TARGET_OBJECTS:TavixSetup> ${payload_obj}
                 ${CMAKE_SOURCE_DIR}/resources/app.rc)
  if(TAVIX_WIN_BITS EQUAL 64)
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/manifest)
  endif()
  target_link_libraries(${target} PRIVATE tavix_ui tavix_win ole32 shell32 comctl32 uuid gdi32 user32 advapi32)
  # File alignment equal to the section alignment lets the loader map the
  # payload from the file instead of reading it all into private memory.
  # No time stamp in the headers: the same release gives the same bytes.
  target_link_options(${target} PRIVATE ${TAVIX_WIN_LINK} -Wl,--file-alignment=0x1000 -Wl,--gc-sections -s
                      -Wl,--no-insert-timestamp)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name})
  set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/app.rc PROPERTIES
    OBJECT_DEPENDS "${TAVIX_APP_MANIFEST};${CMAKE_SOURCE_DIR}/resources/tavix.ico;${CMAKE_SOURCE_DIR}/resources/wizard_left.bmp;${CMAKE_SOURCE_DIR}/resources/wizard_top.bmp")
endfunction()
