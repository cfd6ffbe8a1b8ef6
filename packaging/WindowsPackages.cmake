# The Windows packages: the zip and the installer hold the same files, the programs of the one list
# in CMakeLists.txt beside the README and the LICENSE.
set(documents ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE)

# The zip's contents, one path a line, for scripts/build-windows.sh.
set(listing "")
foreach(program ${TESSARO_PROGRAMS})
    string(APPEND listing "$<TARGET_FILE:${program}>\n")
endforeach()
foreach(document ${documents})
    string(APPEND listing "${document}\n")
endforeach()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package-files.txt CONTENT "${listing}")

if(NOT TARGET tessaro)
    return()
endif()
find_program(WIXL wixl)
find_program(MSIBUILD msibuild)
if(NOT WIXL OR NOT MSIBUILD)
    message(WARNING "wixl and msibuild (msitools) not found: no Windows installer")
    return()
endif()

# One component a file; wixl derives each component's GUID from its file, so that it stays the same
# from one version to the next.
set(TESSARO_WXS_COMPONENTS "")
set(TESSARO_WXS_COMPONENT_REFS "")
macro(tessaro_installed_file name source)
    string(MAKE_C_IDENTIFIER "${name}" id)
    string(APPEND TESSARO_WXS_COMPONENTS
        "          <Component Id=\"${id}\" Guid=\"*\" Win64=\"yes\">\n"
        "            <File Id=\"${id}\" Name=\"${name}\" Source=\"${source}\" KeyPath=\"yes\"/>\n"
        "          </Component>\n")
    string(APPEND TESSARO_WXS_COMPONENT_REFS "      <ComponentRef Id=\"${id}\"/>\n")
endmacro()
# wixl takes sources relative to the folder it runs in, the .wxs file's.
foreach(program ${TESSARO_PROGRAMS})
    tessaro_installed_file(${program}.exe
        "$<PATH:RELATIVE_PATH,$<TARGET_FILE:${program}>,${CMAKE_CURRENT_BINARY_DIR}>")
endforeach()
foreach(document ${documents})
    get_filename_component(name ${document} NAME)
    file(RELATIVE_PATH source ${CMAKE_CURRENT_BINARY_DIR} ${document})
    tessaro_installed_file(${name} ${source})
endforeach()
file(RELATIVE_PATH TESSARO_WXS_ICON ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR}/app/tessaro.ico)
configure_file(tessaro.wxs.in ${CMAKE_CURRENT_BINARY_DIR}/tessaro.wxs.configured @ONLY)
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/tessaro.wxs INPUT ${CMAKE_CURRENT_BINARY_DIR}/tessaro.wxs.configured)

set(msi ${CMAKE_BINARY_DIR}/tessaro-${PROJECT_VERSION}-x86_64.msi)
add_custom_command(OUTPUT ${msi}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/build-msi.sh ${CMAKE_CURRENT_BINARY_DIR}/tessaro.wxs ${PROJECT_VERSION} ${msi}
    DEPENDS build-msi.sh ${CMAKE_CURRENT_BINARY_DIR}/tessaro.wxs ${TESSARO_PROGRAMS} ${documents}
    COMMENT "Building the Windows installer tessaro-${PROJECT_VERSION}-x86_64.msi"
    VERBATIM)
add_custom_target(tessaro-msi DEPENDS ${msi})
