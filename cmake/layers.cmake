# The folders' order, checked. opa_check_layers() runs at configure time: a
# folder's library (opa<folder>) may link only the libraries of folders in
# layers below its own. It then writes, per folder, the folders it may
# include from (its own and those it links, directly or not), and every
# build checks the sources' includes against that list
# (cmake/checkincludes.cmake), so an upward include fails even where the
# linker would not notice (a struct or an inline function).

function(_opa_linked_folders target out)
    set(seen "")
    set(todo ${target})
    while(todo)
        list(POP_FRONT todo current)
        get_target_property(libs ${current} LINK_LIBRARIES)
        foreach(lib ${libs})
            if(TARGET ${lib} AND lib MATCHES "^opa(.+)$")
                set(folder ${CMAKE_MATCH_1})
                if(NOT folder IN_LIST seen)
                    list(APPEND seen ${folder})
                    list(APPEND todo ${lib})
                endif()
            endif()
        endforeach()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(opa_check_layers layers)
    set(index 0)
    set(present "")
    foreach(layer ${layers})
        string(REPLACE " " ";" folders "${layer}")
        foreach(folder ${folders})
            set(layer_of_${folder} ${index})
            if(TARGET opa${folder})
                list(APPEND present ${folder})
            endif()
        endforeach()
        math(EXPR index "${index} + 1")
    endforeach()

    set(allowed "")
    set(sources "")
    foreach(folder ${present})
        get_target_property(libs opa${folder} LINK_LIBRARIES)
        foreach(lib ${libs})
            if(lib MATCHES "^opa(.+)$")
                set(dep ${CMAKE_MATCH_1})
                if(NOT DEFINED layer_of_${dep} OR NOT layer_of_${dep} LESS layer_of_${folder})
                    message(FATAL_ERROR "opa${folder} links ${lib}, which is not in a layer below "
                                        "${folder}/ (OPA_LAYERS in CMakeLists.txt)")
                endif()
            endif()
        endforeach()
        _opa_linked_folders(opa${folder} linked)
        string(APPEND allowed "set(OPA_MAY_INCLUDE_${folder} ${folder} ${linked})\n")
        file(GLOB folder_sources ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
        list(APPEND sources ${folder_sources})
    endforeach()
    string(APPEND allowed "set(OPA_FOLDERS ${present})\n")

    set(allowed_file ${PROJECT_BINARY_DIR}/layers-allowed.cmake)
    file(WRITE ${allowed_file} "${allowed}")
    set(stamp ${PROJECT_BINARY_DIR}/layers.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DOPA_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                -DOPA_ALLOWED_FILE=${allowed_file} -P ${PROJECT_SOURCE_DIR}/cmake/checkincludes.cmake
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${sources} ${allowed_file} ${PROJECT_SOURCE_DIR}/cmake/checkincludes.cmake
        COMMENT "Checking that each folder includes only the folders it links"
        VERBATIM)
    add_custom_target(opa_layers DEPENDS ${stamp})
    foreach(folder ${present})
        add_dependencies(opa${folder} opa_layers)
    endforeach()
endfunction()
