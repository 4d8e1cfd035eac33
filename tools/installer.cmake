# The setup program, Glimmerdeck-setup-<version>.exe: both builds of the module
# in one NSIS installer. It is made in the x86-64 tree, which takes the 32-bit
# module and registration helper from the i686 tree (scripts build that one
# first).

# The helper that registers a module for the current user alone; each tree
# builds the one of its bitness.
add_executable(glimmerdeck-user-register WIN32 installer/UserRegister.cpp)
target_compile_options(glimmerdeck-user-register PRIVATE ${GD_WARNINGS})
target_link_libraries(glimmerdeck-user-register PRIVATE gdcore)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(GD_MAKENSIS makensis)
    if(NOT GD_MAKENSIS)
        message(STATUS "makensis not found (Debian package nsis): no setup program, and no installer test")
    endif()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND GD_MAKENSIS)
    set(GD_SETUP_DLL32 "${CMAKE_SOURCE_DIR}/build/bin/Glimmerdeck.dll" CACHE FILEPATH
        "The 32-bit Glimmerdeck.dll that the setup program installs beside this tree's 64-bit one")
    set(GD_SETUP_HELPER32 "${CMAKE_SOURCE_DIR}/build/bin/glimmerdeck-user-register.exe" CACHE FILEPATH
        "The 32-bit glimmerdeck-user-register.exe that registers the 32-bit module for one user")

    # Name, version and publisher come from the module's version block, the
    # one place that holds them.
    set(GD_VERSION_BLOCK ${CMAKE_SOURCE_DIR}/resources/Glimmerdeck.rc)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${GD_VERSION_BLOCK})
    file(STRINGS ${GD_VERSION_BLOCK} GD_VERSION_VALUES REGEX "^[ \t]*VALUE[ \t]+\"[A-Za-z]+\"")
    foreach(key ProductName ProductVersion CompanyName LegalCopyright OriginalFilename)
        if(NOT GD_VERSION_VALUES MATCHES "VALUE[ \t]+\"${key}\",[ \t]*\"([^\"]+)\"")
            message(FATAL_ERROR "${GD_VERSION_BLOCK}: the version block has no ${key}")
        endif()
        set(GD_RC_${key} "${CMAKE_MATCH_1}")
    endforeach()
    # The setup program wears the module's own icon 101, the toolbar button's.
    file(STRINGS ${GD_VERSION_BLOCK} GD_ICON_LINE REGEX "^IDI_BUTTON[ \t]+ICON[ \t]+\"[^\"]+\"")
    if(NOT GD_ICON_LINE MATCHES "\"([^\"]+)\"")
        message(FATAL_ERROR "${GD_VERSION_BLOCK}: no IDI_BUTTON icon")
    endif()
    set(GD_SETUP_ICON ${CMAKE_SOURCE_DIR}/resources/${CMAKE_MATCH_1})
    if(NOT GD_RC_ProductVersion MATCHES "^([0-9]+\\.[0-9]+\\.[0-9]+)\\.[0-9]+$")
        message(FATAL_ERROR "${GD_VERSION_BLOCK}: ProductVersion \"${GD_RC_ProductVersion}\" is not a.b.c.d")
    endif()
    set(GD_SETUP_EXE ${CMAKE_BINARY_DIR}/bin/${GD_RC_ProductName}-setup-${CMAKE_MATCH_1}.exe)

    # A target that runs whenever it is built: its script checks that the
    # 32-bit module is there (a missing file in DEPENDS would only say "no rule
    # to make it") and runs makensis when an input changed. Not part of the
    # default build, which must not need the i686 tree (the demo and the
    # benchmark build one tree only); the installer test has it built first.
    add_custom_target(setup
        COMMAND ${CMAKE_COMMAND}
            -DMAKENSIS=${GD_MAKENSIS}
            -DSCRIPT=${CMAKE_CURRENT_SOURCE_DIR}/installer/Glimmerdeck.nsi
            -DDLL32=${GD_SETUP_DLL32}
            -DDLL64=$<TARGET_FILE:Glimmerdeck>
            -DHELPER32=${GD_SETUP_HELPER32}
            -DHELPER64=$<TARGET_FILE:glimmerdeck-user-register>
            -DICON=${GD_SETUP_ICON}
            -DOUTPUT=${GD_SETUP_EXE}
            -DSTAMP=${CMAKE_CURRENT_BINARY_DIR}/setup.inputs
            -DPRODUCT=${GD_RC_ProductName}
            -DVERSION=${GD_RC_ProductVersion}
            "-DPUBLISHER=${GD_RC_CompanyName}"
            "-DCOPYRIGHT=${GD_RC_LegalCopyright}"
            -DMODULE=${GD_RC_OriginalFilename}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/installer/BuildSetup.cmake
        BYPRODUCTS ${GD_SETUP_EXE} ${CMAKE_CURRENT_BINARY_DIR}/setup.inputs
        VERBATIM)
    add_dependencies(setup Glimmerdeck glimmerdeck-user-register)
    set_target_properties(setup PROPERTIES GD_SETUP_EXE ${GD_SETUP_EXE})
endif()
