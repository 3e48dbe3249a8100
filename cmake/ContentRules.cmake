# The rules of the content build: every source of a content folder becomes its file of the archive
# with orvala-tool (the tune with orvala-tune). Each file has its own rule, so that changing one
# source remakes only what it feeds. The build of the tree (Content/CMakeLists.txt) and
# orvala-studio (Tools/studio/content) both include this file, so there is one description of the
# rules. The includer sets:
#   CONTENT_SOURCE_DIR   the content sources (a copy of Content/ anywhere)
#   CONTENT_WORK_DIR     where intermediate files go (the accent texts, the list of constant curves)
#   CONTENT_STAGE        the folder the archive's files are made in
#   CONTENT_ARCHIVE      the archive packed from it
#   CONTENT_TOOL, CONTENT_TUNE                    the programs that run the rules
#   CONTENT_TOOL_DEPENDS, CONTENT_TUNE_DEPENDS    what a rule depends on for them (a target or a file)
# and gets CONTENT_OUTPUTS (every file the rules make), CONTENT_STATIC_LIST (the file that lists
# the constant curves) and the rule of CONTENT_ARCHIVE.
set(STAGE ${CONTENT_STAGE})
set(ARCHIVE ${CONTENT_ARCHIVE})
set(TOOL ${CONTENT_TOOL})
set(SOURCE ${CONTENT_SOURCE_DIR})
set(CONTENT_OUTPUTS "")
set(CONTENT_PRUNE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/PruneStage.cmake)

# A list file of generator lines: "<name> <words...>", '#' comments. Editing it re-runs CMake.
function(read_content_list file out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(STRINGS ${file} lines)
  set(entries "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    list(APPEND entries "${line}")
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# One line of a list file as a file of its own, written only when the line changed: the rule of
# that line depends on it, so editing one line of a list remakes that line's file alone.
function(content_line_file kind name line out)
  set(path ${CONTENT_WORK_DIR}/lines/${kind}-${name}.txt)
  file(CONFIGURE OUTPUT ${path} CONTENT "${line}\n" @ONLY)
  set(${out} ${path} PARENT_SCOPE)
endfunction()

# The files of a generator list: one per line "<first> <words...>", made by
# `orvala-tool <command...> <words...> <out>` as Data/<first><suffix>, each depending on its own line.
function(content_generator_rules list kind suffix comment)
  set(command ${ARGN})
  read_content_list(${list} lines)
  set(outputs "")
  foreach(line IN LISTS lines)
    separate_arguments(words UNIX_COMMAND "${line}")
    list(POP_FRONT words first)
    set(out ${STAGE}/Data/${first}${suffix})
    content_line_file(${kind} ${first} "${line}" line_file)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/Data
      COMMAND ${TOOL} ${command} ${words} ${out}
      DEPENDS ${CONTENT_TOOL_DEPENDS} ${line_file}
      COMMENT "${comment} ${first}${suffix}" VERBATIM)
    list(APPEND outputs ${out})
  endforeach()
  set(CONTENT_OUTPUTS ${CONTENT_OUTPUTS} ${outputs} PARENT_SCOPE)
endfunction()

# Meshes: "<name> gen <kind> [options]" or "<name> text <word> [options]" -> Data/<name>.x
content_generator_rules(${SOURCE}/meshes/meshes.txt mesh .x "Mesh" mesh)
# Textures: "<file> <kind> [options]" -> Data/<file>
content_generator_rules(${SOURCE}/textures/textures.txt texture "" "Texture" texture gen)

# Effects: effects/<name>.fx -> OShaders/<name>.fxo, compiled against effects/include; the
# includes themselves are packed as Shaders/<file> for effects read as source at run time. The
# compiler runs in the content folder, so that the effect objects name their sources by paths
# within it ("effects/glow.fx"): the same sources anywhere make the same archive.
file(GLOB effect_sources CONFIGURE_DEPENDS ${SOURCE}/effects/*.fx)
file(GLOB effect_includes CONFIGURE_DEPENDS ${SOURCE}/effects/include/*)
foreach(source IN LISTS effect_sources)
  get_filename_component(name ${source} NAME)
  set(out ${STAGE}/OShaders/${name}o)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/OShaders
    COMMAND ${TOOL} effect compile effects/${name} ${out} -I effects/include
    WORKING_DIRECTORY ${SOURCE}
    DEPENDS ${CONTENT_TOOL_DEPENDS} ${source} ${effect_includes}
    COMMENT "Effect ${name}" VERBATIM)
  list(APPEND CONTENT_OUTPUTS ${out})
endforeach()
foreach(include IN LISTS effect_includes)
  get_filename_component(name ${include} NAME)
  set(out ${STAGE}/Shaders/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${include} ${out}
    DEPENDS ${include} VERBATIM)
  list(APPEND CONTENT_OUTPUTS ${out})
endforeach()

# Sync tracks: sync/<name>.txt -> Data/sync_<name>.track
file(GLOB track_sources CONFIGURE_DEPENDS ${SOURCE}/sync/*.txt)
foreach(source IN LISTS track_sources)
  get_filename_component(name ${source} NAME_WE)
  set(out ${STAGE}/Data/sync_${name}.track)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/Data
    COMMAND ${TOOL} track compile ${source} ${out}
    DEPENDS ${CONTENT_TOOL_DEPENDS} ${source}
    COMMENT "Track ${name}" VERBATIM)
  list(APPEND CONTENT_OUTPUTS ${out})
endforeach()

# Accent tracks, made from the score's notes and hits: sync/accents.rules names them ("<track>
# at|on ..."), `track accents` writes their texts into the build folder, each is compiled to
# Data/sync_<track>.track. Changing the rules or the score remakes them.
set(accent_rules ${SOURCE}/sync/accents.rules)
set(accent_dir ${CONTENT_WORK_DIR}/accents)
read_content_list(${accent_rules} accent_lines)
set(accent_tracks "")
foreach(line IN LISTS accent_lines)
  separate_arguments(words UNIX_COMMAND "${line}")
  list(GET words 0 name)
  list(APPEND accent_tracks ${name})
endforeach()
list(REMOVE_DUPLICATES accent_tracks)
set(accent_texts "")
foreach(name IN LISTS accent_tracks)
  if(EXISTS ${SOURCE}/sync/${name}.txt)
    message(FATAL_ERROR "${SOURCE}/sync/${name}.txt: the track ${name} is made from sync/accents.rules")
  endif()
  list(APPEND accent_texts ${accent_dir}/${name}.txt)
endforeach()
add_custom_command(OUTPUT ${accent_texts}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${accent_dir}
  COMMAND ${TOOL} track accents ${accent_rules} ${SOURCE}/music/orvala.score ${accent_dir}
  DEPENDS ${CONTENT_TOOL_DEPENDS} ${accent_rules} ${SOURCE}/music/orvala.score
  COMMENT "Accent tracks from the score" VERBATIM)
foreach(name IN LISTS accent_tracks)
  set(out ${STAGE}/Data/sync_${name}.track)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/Data
    COMMAND ${TOOL} track compile ${accent_dir}/${name}.txt ${out}
    DEPENDS ${CONTENT_TOOL_DEPENDS} ${accent_dir}/${name}.txt
    COMMENT "Track ${name} (accents)" VERBATIM)
  list(APPEND CONTENT_OUTPUTS ${out})
endforeach()

# Animation curves: anim/<curve>.txt -> Data/anim/<curve> (the curve's full name, e.g.
# "cam1.translateX.txt" -> Data/anim/cam1.translateX)
file(GLOB curve_sources CONFIGURE_DEPENDS ${SOURCE}/anim/*.txt)
foreach(source IN LISTS curve_sources)
  get_filename_component(file ${source} NAME)
  string(REGEX REPLACE "\\.txt$" "" name ${file})
  set(out ${STAGE}/Data/anim/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/Data/anim
    COMMAND ${TOOL} curve compile ${source} ${out}
    DEPENDS ${CONTENT_TOOL_DEPENDS} ${source}
    COMMENT "Curve ${name}" VERBATIM)
  list(APPEND CONTENT_OUTPUTS ${out})
endforeach()

# The curves the scenes' objects ask for and anim/ does not hold: constant curves with the scene
# description's value of each channel (a camera's 0, visibility 1), so that the show finds every
# curve it asks for and shows what it showed without them -> Data/anim/<curve>. "CubeMapCam" is
# the camera the cube-map light pass makes by code. Which files these are is known once the tool
# has read the descriptions; it lists them for the packing step. The rule runs again when a file
# comes into or leaves anim/ (the folder's time changes). A camera of a scene without a single
# curve in anim/ stands at the origin: the tool warns of it.
file(GLOB scene_descriptions CONFIGURE_DEPENDS ${SOURCE}/scenes/*.xml)
set(static_curves ${CONTENT_WORK_DIR}/static-curves.txt)
set(CONTENT_STATIC_LIST ${static_curves})
add_custom_command(OUTPUT ${static_curves}
  COMMAND ${TOOL} curve statics ${SOURCE}/anim ${STAGE}/Data/anim ${scene_descriptions}
          --camera CubeMapCam --list ${static_curves}
  DEPENDS ${CONTENT_TOOL_DEPENDS} ${scene_descriptions} ${SOURCE}/anim
  COMMENT "Constant curves of the scenes" VERBATIM)

# Scene descriptions and other files taken as they are: scenes/<file> -> Data/<file>
file(GLOB scene_files CONFIGURE_DEPENDS ${SOURCE}/scenes/*)
foreach(source IN LISTS scene_files)
  get_filename_component(name ${source} NAME)
  set(out ${STAGE}/Data/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${out}
    DEPENDS ${source} VERBATIM)
  list(APPEND CONTENT_OUTPUTS ${out})
endforeach()

# The tune and the noise volume. The tune is rendered by orvala-tune, which links the synthesizer
# only: a change to the devices or the framework does not render it again.
set(tune ${STAGE}/Data/tune.ogg)
add_custom_command(OUTPUT ${tune}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/Data
  COMMAND ${CONTENT_TUNE} ${SOURCE}/music/orvala.score ${tune}
  DEPENDS ${CONTENT_TUNE_DEPENDS} ${SOURCE}/music/orvala.score
  COMMENT "Tune (rendering the score)" VERBATIM)
set(noise ${STAGE}/Data/noise.bin)
add_custom_command(OUTPUT ${noise}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE}/Data
  COMMAND ${TOOL} noise volume ${noise}
  DEPENDS ${CONTENT_TOOL_DEPENDS}
  COMMENT "Noise volume" VERBATIM)
list(APPEND CONTENT_OUTPUTS ${tune} ${noise})

# The archive, packed from the staging folder once everything in it is up to date. Files that
# no rule makes any more are removed from the folder first.
add_custom_command(OUTPUT ${ARCHIVE}
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${STAGE} "-DKEEP=${CONTENT_OUTPUTS}" -DKEEP_LISTS=${static_curves}
          -P ${CONTENT_PRUNE_SCRIPT}
  COMMAND ${TOOL} archive pack ${STAGE} ${ARCHIVE}
  DEPENDS ${CONTENT_TOOL_DEPENDS} ${CONTENT_OUTPUTS} ${static_curves} ${CONTENT_PRUNE_SCRIPT}
  COMMENT "Packing basefile.dat" VERBATIM)
