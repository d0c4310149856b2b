# The disc's identity (its window title, game, registry keys, web addresses,
# icon, version information, label and layout) comes from an identity file when the
# tree is configured: tools/identity.py checks it and writes identity.h, the
# launcher's manifest and autorun.inf, from which the launcher's sources and
# resources and the disc take their names. A changed file configures the tree
# again, and only what uses the identity is rebuilt.
set(ZEPH_IDENTITY "${CMAKE_SOURCE_DIR}/disc/identity.txt" CACHE FILEPATH
    "the identity file of the disc whose launcher this tree builds")
set(ZEPH_IDENTITY_DIR ${CMAKE_BINARY_DIR}/identity)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
execute_process(
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/identity.py write ${ZEPH_IDENTITY}
            ${ZEPH_IDENTITY_DIR} ${ZEPH_ART}/zephrane.ico
    RESULT_VARIABLE identity_status)
if(identity_status)
    message(FATAL_ERROR "the identity file ${ZEPH_IDENTITY} is refused (above)")
endif()
execute_process(
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/identity.py get ${ZEPH_IDENTITY} icon
    OUTPUT_VARIABLE ZEPH_IDENTITY_ICON OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT ZEPH_IDENTITY_ICON)
    set(ZEPH_IDENTITY_ICON ${ZEPH_ART}/zephrane.ico)
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZEPH_IDENTITY}
    ${CMAKE_SOURCE_DIR}/disc/identity.txt ${CMAKE_SOURCE_DIR}/tools/identity.py
    ${CMAKE_SOURCE_DIR}/res/launcher.manifest.in)
