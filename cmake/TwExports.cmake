# DLLs with plain, undecorated stdcall export names on both architectures.
#
# Each DLL keeps one .def file listing its exports in their x86 stdcall form
# (NAME@bytes). On x64, where stdcall names carry no decoration, a copy with the
# "@bytes" suffixes removed is generated. On x86 the linker strips the suffix
# from the DLL's export table (--kill-at) and the import library is rebuilt with
# dlltool -k, so callers still link against the decorated symbols.

function(tw_add_dll target def_file)
    add_library(${target} SHARED ${ARGN})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${target})
    tw_export_by_def(${target} "${def_file}")
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_DLLTOOL} -k -d "${def_file}" -D $<TARGET_FILE_NAME:${target}>
                    -l $<TARGET_LINKER_FILE:${target}>
            VERBATIM
            COMMENT "Rebuilding the import library of ${target} for undecorated exports")
    endif()
endfunction()

# A program with exports of its own (plain stdcall names, as for the DLLs).
# The import library is not needed: nothing links against a program.
function(tw_add_program target def_file)
    add_executable(${target} WIN32 ${ARGN})
    tw_export_by_def(${target} "${def_file}")
endfunction()

# Links target with the exports of def_file, undecorated on both architectures,
# and checks the result after every link.
function(tw_export_by_def target def_file)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        file(READ "${def_file}" def_text)
        string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
        set(link_def "${CMAKE_CURRENT_BINARY_DIR}/${target}.x64.def")
        file(GENERATE OUTPUT "${link_def}" CONTENT "${def_text}")
    else()
        set(link_def "${def_file}")
        target_link_options(${target} PRIVATE -Wl,--kill-at)
    endif()
    # ld takes a .def file as an input; CMake would pass a .def source for DLLs only.
    target_link_options(${target} PRIVATE "${link_def}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${def_file}")
    string(REPLACE ";" "," allowed "${TW_ALLOWED_DLLS}")
    # Fail the build when the export table differs from the .def list or when the
    # binary needs a DLL that Windows does not ship.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DBINARY=$<TARGET_FILE:${target}>
                -DDEF=${def_file} "-DALLOWED_DLLS=${allowed}"
                -P ${PROJECT_SOURCE_DIR}/cmake/check-binary.cmake
        VERBATIM
        COMMENT "Checking exports and imports of ${target}")
endfunction()

# Executables get the import check only.
function(tw_check_imports target)
    string(REPLACE ";" "," allowed "${TW_ALLOWED_DLLS}")
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DBINARY=$<TARGET_FILE:${target}>
                "-DALLOWED_DLLS=${allowed}"
                -P ${PROJECT_SOURCE_DIR}/cmake/check-binary.cmake VERBATIM)
endfunction()

# Joins the export fragments exports/*.def of a library (one "NAME@bytes" line
# per export, one fragment per concern) into one .def file at configure time.
function(tw_join_def library dir out_var)
    file(GLOB fragments CONFIGURE_DEPENDS "${dir}/*.def")
    list(SORT fragments)
    set(text "LIBRARY ${library}.dll\nEXPORTS\n")
    foreach(f IN LISTS fragments)
        file(READ "${f}" part)
        string(APPEND text "${part}\n")
    endforeach()
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${library}.def")
    file(WRITE "${out}.tmp" "${text}")
    configure_file("${out}.tmp" "${out}" COPYONLY)
    set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# tw_add_library(NAME LIBS ...): one of our DLLs from the folder it is called in.
# Sources lie under src/, in subfolders by concern where the library has them;
# includes name them from src/ ("query/time_query.h"). Files named
# *_exports.cpp are the thin export adapters and go into the DLL; every other
# source goes into NAME_core, which the white-box tests link (with LIBS). The exports are listed in exports/*.def, the resources in
# res/NAME.rc, the public header in include/.
function(tw_add_library name)
    cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
    file(GLOB_RECURSE all_sources CONFIGURE_DEPENDS src/*.cpp)
    file(GLOB_RECURSE export_sources CONFIGURE_DEPENDS src/*_exports.cpp)
    list(REMOVE_ITEM all_sources ${export_sources})

    add_library(${name}_core STATIC ${all_sources})
    target_include_directories(${name}_core PUBLIC include src)
    target_link_libraries(${name}_core PUBLIC twcommon ${L_LIBS})

    tw_join_def(${name} ${CMAKE_CURRENT_SOURCE_DIR}/exports def_file)
    tw_add_dll(${name} ${def_file} ${export_sources} res/${name}.rc)
    target_link_libraries(${name} PRIVATE ${name}_core)
    target_include_directories(${name} PUBLIC include)
endfunction()
