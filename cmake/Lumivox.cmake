# Libraries are globbed so that adding a file never means editing a shared list.
function(lumivox_library name dir)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    if(NOT sources)
        set(stub ${CMAKE_BINARY_DIR}/${name}_empty.cpp)
        file(WRITE ${stub} "// This library has no sources yet.\n")
        set(sources ${stub})
    endif()
    # Shared, so that each of the many test programs does not carry its own copy of every layer: the
    # sanitizer build would otherwise need several gigabytes of disk.
    add_library(${name} SHARED ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    # The caller says what is PUBLIC (exposed by the library's headers) and what is PRIVATE.
    target_link_libraries(${name} ${ARGN})
endfunction()
