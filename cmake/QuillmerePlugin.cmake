# add_quillmere_plugin(TARGET
#     OUTPUT_NAME Keenwright            file name without .8bf
#     RESOURCES   resources/keenwright  folder holding resources.manifest
#     SOURCES     ...                   the filter (and its main)
#     LIBS        ...                   framework libraries to link
#     [FILTER_LIB lib]                  the filter's library (defines filterDescription())
#     [OUTPUT_DIRECTORY dir])           default: build/plugins
#
# Makes one .8bf plug-in: a shared library exporting only ENTRYPOINT and the
# resource table, with the resources of the manifest packed in. Manifest
# entries of kind preset are factory preset texts: they need FILTER_LIB, from
# which TARGET_presetc is built to compile each into
# TARGET_presets/<NAME>.bin for the packer. An entry of kind settings (its
# source word is not read) is the settings resource the same compiler writes
# from the filter's setting table and the manifest's preset names. An entry of
# kind chm is a help project (.hhp) that chmcmd compiles into
# TARGET_presets/<NAME> (so the project's "Compiled file" is NAME); every file
# of the project's folder is a source of it.
set(QM_PLUGIN_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin_exports.map)

function(add_quillmere_plugin target)
  cmake_parse_arguments(P "" "OUTPUT_NAME;RESOURCES;OUTPUT_DIRECTORY;FILTER_LIB" "SOURCES;LIBS"
                        ${ARGN})
  if(NOT P_OUTPUT_DIRECTORY)
    set(P_OUTPUT_DIRECTORY ${QUILLMERE_PLUGIN_DIR})
    add_dependencies(quillmere_demo ${target})
    set(shipped TRUE)
  endif()
  get_filename_component(resdir ${P_RESOURCES} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  set(manifest ${resdir}/resources.manifest)

  # The manifest's sources are dependencies of the generated table.
  set(deps ${manifest})
  set(presetdir ${CMAKE_CURRENT_BINARY_DIR}/${target}_presets)
  set(packer_options "")
  set(preset_names "")
  set(settings_resource FALSE)
  file(STRINGS ${manifest} lines)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" words "${line}")
    list(GET words -1 source)

    list(LENGTH words count)
    if(count EQUAL 4)
      list(GET words 2 kind)
    else()
      set(kind "")
    endif()
    if(NOT kind STREQUAL "settings")
      list(APPEND deps ${resdir}/${source})
    endif()
    if(kind STREQUAL "preset" OR kind STREQUAL "settings")
      if(NOT P_FILTER_LIB)
        message(FATAL_ERROR "${target}: ${kind} resources need FILTER_LIB")
      endif()
      if(NOT TARGET ${target}_presetc)
        add_executable(${target}_presetc ${CMAKE_SOURCE_DIR}/tools/presetc/main.cpp)
        target_link_libraries(${target}_presetc PRIVATE qm_presetc_lib ${P_FILTER_LIB})
        set_target_properties(${target}_presetc PROPERTIES
          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
        set(packer_options --compiled ${presetdir})
      endif()
    endif()
    if(kind STREQUAL "chm")
      find_program(QM_CHMCMD chmcmd REQUIRED)
      list(GET words 1 name)
      string(TOUPPER "${name}" name)
      get_filename_component(helpdir ${resdir}/${source} DIRECTORY)
      file(GLOB helpfiles CONFIGURE_DEPENDS ${helpdir}/*)
      set(compiled ${presetdir}/${name})
      # chmcmd writes into the current directory, which must exist before it runs.
      file(MAKE_DIRECTORY ${presetdir})
      add_custom_command(OUTPUT ${compiled}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${compiled}
        COMMAND ${QM_CHMCMD} ${resdir}/${source}
        WORKING_DIRECTORY ${presetdir}
        DEPENDS ${helpfiles}
        COMMENT "Compiling help file ${name} of ${target}")
      list(APPEND deps ${compiled})
      set(packer_options --compiled ${presetdir})
    endif()
    if(kind STREQUAL "settings")
      set(settings_resource TRUE)
    elseif(kind STREQUAL "preset")
      list(GET words 1 name)
      string(TOUPPER "${name}" name)
      set(record ${presetdir}/${name}.bin)
      add_custom_command(OUTPUT ${record}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${presetdir}
        COMMAND ${target}_presetc ${resdir}/${source} ${record}
        DEPENDS ${target}_presetc ${resdir}/${source}
        COMMENT "Compiling preset ${name} of ${target}")
      list(APPEND deps ${record})
      list(APPEND preset_names ${name})
    endif()
  endforeach()
  if(settings_resource)
    set(described ${presetdir}/settings.bin)
    add_custom_command(OUTPUT ${described}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${presetdir}
      COMMAND ${target}_presetc --describe ${described} ${preset_names}
      DEPENDS ${target}_presetc
      COMMENT "Describing the settings of ${target}")
    list(APPEND deps ${described})
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})

  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(OUTPUT ${generated}
    COMMAND qm_respack --manifest ${manifest} --out ${generated}
            --pointer-size ${CMAKE_SIZEOF_VOID_P} ${packer_options}
    DEPENDS qm_respack ${deps}
    COMMENT "Packing resources of ${target}")

  add_library(${target} MODULE ${P_SOURCES} ${generated})
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX ".8bf"
    OUTPUT_NAME ${P_OUTPUT_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${P_OUTPUT_DIRECTORY})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${P_LIBS} qm_platform_ui qm_platform_os)
  target_link_options(${target} PRIVATE -Wl,--version-script=${QM_PLUGIN_EXPORTS})
  if(NOT QUILLMERE_SANITIZE)
    # Sanitizer runtimes come from the host program, so only check without them.
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${QM_PLUGIN_EXPORTS})
  if(shipped)
    install(TARGETS ${target} LIBRARY DESTINATION lib/quillmere/plugins)
  endif()
endfunction()
