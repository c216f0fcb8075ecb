# SPDX-License-Identifier: GPL-3.0-or-later
# Arrows between folders run one way. This table lists, for each folder, the other folders
# its code may include; any other include between folders fails configure, so the table is
# the map. tests/ and bench/ sit outside the layers and may include anything.
set(VZ_LAYERS
  "base    :"
  "gstref  :"
  "files   : base"
  "res     : base"
  "ui      : base"
  "engine  : base res tempo"
  "tempo   : base"
  "audio   : base tempo gstref"
  "presets : base files engine"
  "palette : base engine"
  "present : base engine"
  "output  : base files engine gstref"
  "gst     : base engine presets gstref"
  "tools   : base files engine presets palette"
  "panel   : base engine presets res ui"
  "source  : base engine res ui gstref"
  "control : base files engine panel res tempo ui"
  "app     : base engine presets palette present output panel source control res tempo audio ui gstref"
  "tests   : *"
  "bench   : *"
)

function(vz_check_layers)
  set(folders "")
  foreach(row IN LISTS VZ_LAYERS)
    string(REGEX MATCH "^([a-z]+)[ ]*:(.*)$" _ "${row}")
    set(dir "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" targets)
    string(REPLACE " " ";" targets "${targets}")
    list(FILTER targets EXCLUDE REGEX "^$")
    set(allowed_${dir} ${targets})
    list(APPEND folders ${dir})
  endforeach()

  set(offenders "")
  # A new folder joins the map before it builds.
  file(GLOB children LIST_DIRECTORIES true "${PROJECT_SOURCE_DIR}/*")
  foreach(child IN LISTS children)
    get_filename_component(name "${child}" NAME)
    if(EXISTS "${child}/CMakeLists.txt" AND NOT name MATCHES "^\\." AND NOT name IN_LIST folders)
      list(APPEND offenders "${name}/ has no row in the table")
    endif()
  endforeach()
  foreach(dir IN LISTS folders)
    if("*" IN_LIST allowed_${dir})
      continue()
    endif()
    file(GLOB_RECURSE files "${PROJECT_SOURCE_DIR}/${dir}/*.h" "${PROJECT_SOURCE_DIR}/${dir}/*.cpp")
    foreach(f IN LISTS files)
      file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      foreach(line IN LISTS lines)
        # Only quoted includes name our folders: <gst/gst.h> is the framework, not gst/.
        if(NOT line MATCHES "\"(\\.\\./)*([A-Za-z0-9_-]+)/[^\"]*\"")
          continue()
        endif()
        set(to "${CMAKE_MATCH_2}")
        if(to STREQUAL dir OR to IN_LIST allowed_${dir})
          continue()
        endif()
        if(NOT to IN_LIST folders AND NOT IS_DIRECTORY "${PROJECT_SOURCE_DIR}/${to}")
          continue()  # a path below the including file's own folder, or a library's
        endif()
        file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${f}")
        string(STRIP "${line}" line)
        list(JOIN allowed_${dir} " " may)
        if(may STREQUAL "")
          set(may "nothing outside itself")
        endif()
        list(APPEND offenders "${rel}: ${line}  (${dir}/ may include ${may})")
      endforeach()
    endforeach()
  endforeach()
  if(offenders)
    list(JOIN offenders "\n  " text)
    message(FATAL_ERROR "Includes against the layer table in cmake/LayerCheck.cmake:\n  ${text}")
  endif()
endfunction()
