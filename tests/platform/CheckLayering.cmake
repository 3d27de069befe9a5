# Fails when a source of a lower layer includes from a layer above it or Qt:
# tags/ may include only its own, platform/ and system headers, platform/
# only its own and system headers, audio/ its own, platform/ and system
# headers, and effects/ nothing of engine/ or app/ and no Qt.
#   cmake -DSOURCE_DIR=<tree> -P CheckLayering.cmake
#   cmake -DSELF_TEST_DIR=<scratch folder> -P CheckLayering.cmake
# The second form plants each kind of violation in a scratch tree and fails
# unless every one of them is found, so a check that has stopped seeing
# includes cannot pass.
cmake_minimum_required(VERSION 3.25)

set(FORBIDDEN_tags engine audio effects app)
set(FORBIDDEN_platform engine audio effects app tags)
set(FORBIDDEN_audio engine effects app tags)
set(FORBIDDEN_effects engine app)

# The top folder an include names: a quoted include is first looked for
# beside the including file, then from the tree's top, as the build's include
# path has it. Empty for a system header.
function(included_layer root file header quoted out)
  set(layer "")
  if(quoted)
    get_filename_component(folder ${file} DIRECTORY)
    get_filename_component(beside ${header} ABSOLUTE BASE_DIR ${folder})
    if(EXISTS ${beside})
      file(RELATIVE_PATH path ${root} ${beside})
    else()
      get_filename_component(path ${header} ABSOLUTE BASE_DIR ${root})
      file(RELATIVE_PATH path ${root} ${path})
    endif()
    string(REGEX MATCH "^[^/]+" top "${path}")
    if(path MATCHES "/")
      set(layer ${top})
    endif()
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# Sets <out_violations> to the offending "file: include" lines and
# <out_files> to the number of sources read.
function(check_tree root out_violations out_files)
  set(violations "")
  set(count 0)
  foreach(layer tags platform audio effects)
    file(GLOB_RECURSE sources ${root}/${layer}/*.h ${root}/${layer}/*.hpp ${root}/${layer}/*.c ${root}/${layer}/*.cc
         ${root}/${layer}/*.cpp)
    foreach(source ${sources})
      math(EXPR count "${count} + 1")
      file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include")
      foreach(line ${lines})
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
          continue()
        endif()
        set(header ${CMAKE_MATCH_2})
        set(quoted OFF)
        if(CMAKE_MATCH_1 STREQUAL "\"")
          set(quoted ON)
        endif()
        included_layer(${root} ${source} ${header} ${quoted} target)
        set(bad OFF)
        if(target AND target IN_LIST FORBIDDEN_${layer})
          set(bad ON)
        endif()
        get_filename_component(name ${header} NAME)
        # Qt's own names count only outside the project's folders: a header
        # of ours may begin with a Q.
        if(header MATCHES "^Qt" OR (NOT target AND (name MATCHES "^Q[A-Za-z0-9_]*(\\.h)?$"
                                                    OR name MATCHES "^q[a-z0-9_]*\\.h$")))
          set(bad ON)
        endif()
        if(bad)
          file(RELATIVE_PATH shown ${root} ${source})
          list(APPEND violations "${shown}: ${header}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out_violations} "${violations}" PARENT_SCOPE)
  set(${out_files} ${count} PARENT_SCOPE)
endfunction()

if(DEFINED SELF_TEST_DIR)
  set(root ${SELF_TEST_DIR}/tree)
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/engine/Engine.h "")
  file(WRITE ${root}/tags/Fine.cpp "#include \"tags/Fine.h\"\n#include \"platform/CodePage.h\"\n#include <queue>\n")
  file(WRITE ${root}/tags/Fine.h "#include <string>\n")
  file(WRITE ${root}/tags/Engine.h "")
  file(WRITE ${root}/tags/Own.cpp "#include \"Engine.h\"\n")
  file(WRITE ${root}/tags/Up.cpp "  #  include \"engine/Engine.h\"\n")
  file(WRITE ${root}/tags/Relative.cpp "#include \"../engine/Engine.h\"\n")
  file(WRITE ${root}/platform/Widget.h "#include <QString>\n")
  file(WRITE ${root}/platform/sub/Core.cpp "#include <QtCore/qglobal.h>\n")
  file(WRITE ${root}/audio/decoders/Tagged.cpp "#include \"tags/ID3v2.h\"\n#include \"platform/FileSize.h\"\n")
  file(WRITE ${root}/audio/Effects.cpp
       "#include \"effects/EffectChain.h\"\n#include \"audio/Channel.h\"\n#include \"audio/plugins/QuietLog.h\"\n")
  file(WRITE ${root}/effects/Chain.h "#include \"audio/AudioLibrary.h\"\n#include \"engine/Tonik_utilfunc.h\"\n")
  check_tree(${root} found files)
  set(expected "tags/Relative.cpp: ../engine/Engine.h" "tags/Up.cpp: engine/Engine.h" "platform/Widget.h: QString"
      "platform/sub/Core.cpp: QtCore/qglobal.h" "audio/decoders/Tagged.cpp: tags/ID3v2.h"
      "audio/Effects.cpp: effects/EffectChain.h" "effects/Chain.h: engine/Tonik_utilfunc.h")
  list(SORT found)
  list(SORT expected)
  file(REMOVE_RECURSE ${root})
  if(NOT found STREQUAL expected OR NOT files EQUAL 11)
    message(FATAL_ERROR "the layering check missed or invented violations:\n  found ${found}\n  expected ${expected}\n  files ${files}")
  endif()
  return()
endif()

check_tree(${SOURCE_DIR} violations files)
if(files LESS 20)
  message(FATAL_ERROR "only ${files} sources found under ${SOURCE_DIR}: is the tree there?")
endif()
if(violations)
  list(JOIN violations "\n  " shown)
  message(FATAL_ERROR "includes against the layering (tags: no engine, audio, effects, app or Qt; platform: "
                      "none of those nor tags; audio: no engine, effects, app, tags or Qt; effects: no engine, "
                      "app or Qt):\n  ${shown}")
endif()
message(STATUS "${files} sources of tags/, platform/, audio/ and effects/ keep to their layers")
