# The payload's codec, zstd, from Debian: on Linux the system's libzstd
# (libzstd-dev); for the Windows programs static libraries compiled here from
# Debian's source package of the same release, which scripts/deps.sh unpacks
# outside the repository. zstd_decode holds what the setup needs to decode;
# zstd_encode adds the compressor, with its worker threads, for the Windows
# release writer.
if(TAVIX_WINDOWS)
  set(TAVIX_ZSTD_SOURCE "" CACHE PATH "Debian's libzstd source tree (default: what scripts/deps.sh unpacked)")
  set(source ${TAVIX_ZSTD_SOURCE})
  if(NOT source)
    file(GLOB found /usr/local/src/tavix-deps/libzstd-*/lib/zstd.h)
    list(SORT found)
    list(POP_BACK found header)
    if(header)
      get_filename_component(source ${header} DIRECTORY)
      get_filename_component(source ${source} DIRECTORY)
    endif()
  endif()
  if(NOT source OR NOT EXISTS ${source}/lib/zstd.h)
    message(FATAL_ERROR "Debian's libzstd source is missing: run scripts/deps.sh (or set TAVIX_ZSTD_SOURCE)")
  endif()
  set(lib ${source}/lib)
  set(common ${lib}/common/entropy_common.c ${lib}/common/error_private.c ${lib}/common/fse_decompress.c
             ${lib}/common/xxhash.c ${lib}/common/zstd_common.c)
  set(hot ${lib}/decompress/huf_decompress.c ${lib}/decompress/zstd_decompress_block.c)
  set(cold ${lib}/decompress/zstd_decompress.c ${lib}/decompress/zstd_ddict.c)
  # No legacy formats, no assembly (a GNU-as file for ELF), no error texts.
  set(flags -O2 -w)
  set(defs ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0 ZSTD_STRIP_ERROR_STRINGS XXH_NAMESPACE=ZSTD_)
  # The setup's decoder: its two inner loops (Huffman literals, sequences)
  # set the installation's speed and are optimised for it, each in the one
  # variant that suits the setup's 8 MB windows (single-symbol Huffman
  # tables, no prefetching of far matches); the rest for size. Measured on
  # the 32-bit setup: 91 KB as the library comes, 58 KB so.
  add_library(zstd_decode STATIC ${common} ${hot} ${cold})
  target_include_directories(zstd_decode SYSTEM PUBLIC ${lib})
  target_compile_options(zstd_decode PRIVATE -w)
  target_compile_definitions(zstd_decode PRIVATE ${defs} HUF_FORCE_DECOMPRESS_X1
                             ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT)
  set_source_files_properties(${hot} PROPERTIES COMPILE_OPTIONS -O2)
  file(GLOB compress ${lib}/compress/*.c)
  # The Windows writer's compressor (and, for --verify, a decoder of its own
  # with every variant: it decodes any frame).
  add_library(zstd_encode STATIC ${compress} ${lib}/common/pool.c ${lib}/common/threading.c)
  target_include_directories(zstd_encode SYSTEM PUBLIC ${lib})
  target_compile_options(zstd_encode PRIVATE ${flags})
  target_compile_definitions(zstd_encode PRIVATE ${defs} ZSTD_MULTITHREAD)
  target_link_libraries(zstd_encode PUBLIC zstd_decode)
  set(TAVIX_ZSTD_DECODE zstd_decode)
  set(TAVIX_ZSTD_ENCODE zstd_encode)
else()
  # The shared library: Debian's static one is built without the worker
  # threads the writer compresses with. libzstd1 is a required package of
  # Debian, on every such system.
  find_library(TAVIX_ZSTD_LIBRARY NAMES zstd REQUIRED)
  find_path(TAVIX_ZSTD_INCLUDE zstd.h REQUIRED)
  add_library(zstd_system INTERFACE)
  target_link_libraries(zstd_system INTERFACE ${TAVIX_ZSTD_LIBRARY})
  target_include_directories(zstd_system INTERFACE ${TAVIX_ZSTD_INCLUDE})
  set(TAVIX_ZSTD_DECODE zstd_system)
  set(TAVIX_ZSTD_ENCODE zstd_system)
endif()
