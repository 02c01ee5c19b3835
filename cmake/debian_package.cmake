# What the Linux build installs, and the Debian packages cpack -G DEB makes in the build
# folder: msrconfig (the program, its window module, desktop entry, icons, AppStream
# metadata, manual page) and msrconfig-simulator (msr-sim), each with its copyright file,
# changelog and manual page as Debian policy wants them.

# Manual pages and the changelog are installed compressed, reproducibly.
set(packaging ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging})
set(compressed)
foreach(source docs/man/msrconfig.1 docs/man/msr-sim.1 packaging/debian/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${packaging}/${name}.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${packaging}/${name}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/${source})
  list(APPEND compressed ${packaging}/${name}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed})

# The copyright file, machine-readable, from the licence.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE licence)
list(FILTER licence EXCLUDE REGEX "^MIT License$")
list(GET licence 1 copyright_line)
string(REGEX REPLACE "^Copyright \\(c\\) " "" MSRCONFIG_COPYRIGHT_YEARS "${copyright_line}")
list(REMOVE_AT licence 0 1)
set(MSRCONFIG_LICENSE_TEXT "")
foreach(line IN LISTS licence)
  if(line STREQUAL "")
    string(APPEND MSRCONFIG_LICENSE_TEXT " .\n")
  else()
    string(APPEND MSRCONFIG_LICENSE_TEXT " ${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "^ \\.\n|\n$" "" MSRCONFIG_LICENSE_TEXT "${MSRCONFIG_LICENSE_TEXT}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in ${packaging}/copyright @ONLY)

install(FILES resources/msrconfig.desktop DESTINATION share/applications COMPONENT program)
install(FILES resources/msrconfig.metainfo.xml DESTINATION share/metainfo
  RENAME invalid.msrconfig.msrconfig.metainfo.xml COMPONENT program)
install(FILES resources/msrconfig.svg DESTINATION share/icons/hicolor/scalable/apps
  COMPONENT program)
foreach(size 48 256)
  install(FILES resources/msrconfig-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME msrconfig.png COMPONENT program)
endforeach()
install(FILES ${packaging}/msrconfig.1.gz DESTINATION share/man/man1 COMPONENT program)
install(FILES ${packaging}/msr-sim.1.gz DESTINATION share/man/man1 COMPONENT simulator)
install(FILES packaging/debian/README.Debian DESTINATION share/doc/msrconfig COMPONENT program)
foreach(component program simulator)
  set(package msrconfig)
  if(component STREQUAL simulator)
    set(package msrconfig-simulator)
  endif()
  install(FILES ${packaging}/copyright ${packaging}/changelog.gz DESTINATION share/doc/${package}
    COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME msrconfig)
set(CPACK_PACKAGE_CONTACT "msrconfig developers <dev@msrconfig.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program simulator)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME msrconfig)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "configuration utility for magnetic stripe readers
msrconfig reads, changes and stores the configuration of a magnetic stripe
reader (MSR) on a serial port: its eight options, four sentinel characters and
firmware revision. Configurations are kept in small text files, so that one
prepared file can be applied to many readers: from the window, unattended from
the command line, or from scripts that read, verify and ensure a reader's
configuration with one JSON record per run.")
# Loaded as plugins at run time, so the library scan cannot see them.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "libqt6svg6, qt6-qpa-plugins")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "msrconfig-simulator")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME msrconfig-simulator)
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION "simulated magnetic stripe reader for msrconfig
msr-sim publishes a simulated magnetic stripe reader on a pseudo-terminal as a
COM port of msrconfig, answers its command records as a reader does and can
show a range of faults: for trying msrconfig out without a reader, and for
testing it.")
# As dh_strip leaves programs: without the compiler's notes.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/strip_staged_programs.cmake)
set(CPACK_MSRCONFIG_OBJCOPY ${CMAKE_OBJCOPY})
include(CPack)
