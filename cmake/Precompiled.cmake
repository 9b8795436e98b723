# Parsing Qt's headers takes most of the time of compiling one of our files (the web engine's and the
# widgets' above all). Each kind of target parses them once, into a precompiled header that every target
# of that kind reuses. The kinds differ in what they may see: the core sees no widget, and only tests see
# QtTest and TestWait.h.
option(PENHOLLOW_PRECOMPILE "Precompile Qt's headers once for each kind of target" ON)

set(penhollow_pch_core_headers <QtCore/QtCore> <QtNetwork/QtNetwork>)
set(penhollow_pch_gui_headers ${penhollow_pch_core_headers} <QtGui/QtGui> <QtWidgets/QtWidgets>
  <QtWebEngineCore/QtWebEngineCore> <QtWebEngineWidgets/QtWebEngineWidgets> <QtWebChannel/QtWebChannel>)
set(penhollow_pch_core_libs Qt6::Core Qt6::Network)
set(penhollow_pch_gui_libs ${penhollow_pch_core_libs} Qt6::Gui Qt6::Widgets Qt6::WebEngineWidgets Qt6::WebChannel
  Qt6::Svg)

# penhollow_precompiled(<target> core|gui|core_test|gui_test): <target> reuses that kind's header, made on
# first use. The header's target links what the kind's targets link, so both compile with the same flags.
function(penhollow_precompiled target kind)
  if(NOT PENHOLLOW_PRECOMPILE)
    return()
  endif()
  set(pch penhollow_pch_${kind})
  if(NOT TARGET ${pch})
    string(REGEX REPLACE "_test$" "" base ${kind})
    set(source ${CMAKE_BINARY_DIR}/precompiled/${kind}.cpp)
    file(WRITE ${source} "")
    add_library(${pch} OBJECT EXCLUDE_FROM_ALL ${source})
    set_target_properties(${pch} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    target_link_libraries(${pch} PRIVATE ${penhollow_pch_${base}_libs})
    # Our own code is built with Qt's keywords off (src/platform).
    target_compile_definitions(${pch} PRIVATE QT_NO_KEYWORDS)
    set(headers ${penhollow_pch_${base}_headers})
    if(kind MATCHES "_test$")
      target_link_libraries(${pch} PRIVATE Qt6::Test)
      list(APPEND headers ${PROJECT_SOURCE_DIR}/tests/support/TestWait.h)
    endif()
    target_precompile_headers(${pch} PRIVATE ${headers})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${pch})
endfunction()

# QtTest's macros carry each test's own folders, which would make every test's header its own; no test finds
# its data through them (PENHOLLOW_SOURCE_DIR and PENHOLLOW_FIXTURES_DIR name the folders).
if(PENHOLLOW_PRECOMPILE AND TARGET Qt6::Test)
  get_target_property(penhollow_test_definitions Qt6::Test INTERFACE_COMPILE_DEFINITIONS)
  list(FILTER penhollow_test_definitions EXCLUDE REGEX "^QT_TESTCASE_")
  set_target_properties(Qt6::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${penhollow_test_definitions}")
endif()
