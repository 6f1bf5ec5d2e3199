# quorvane-cli links no window code: no source of cli/ includes app/ or a Qt Widgets header,
# Qt Gui's headers appear only where a picture is drawn (the survey's chart, and main.cpp,
# which makes the application that draws it), and the program needs Qt Core (and the serial
# port listing), Qt Gui for the picture, never Qt Widgets.
# Run with -DCLI=<quorvane-cli> -DSOURCES=<cli folder> -DREADELF=<readelf>.
cmake_minimum_required(VERSION 3.25)
set(drawing SurveyChart.h SurveyChart.cpp main.cpp)
file(GLOB sources ${SOURCES}/*.cpp ${SOURCES}/*.h)
foreach(source ${sources})
  file(STRINGS ${source} includes REGEX "^#include \"app/")
  if(includes)
    message(FATAL_ERROR "${source} includes window code: ${includes}")
  endif()
  file(STRINGS ${source} widgets
       REGEX "^#include <(QtWidgets/|QApplication|QWidget|QDialog|QMainWindow|QMessageBox)")
  if(widgets)
    message(FATAL_ERROR "${source} includes Qt Widgets: ${widgets}")
  endif()
  get_filename_component(name ${source} NAME)
  file(STRINGS ${source} gui
       REGEX "^#include <(QtGui/|QGuiApplication|QPainter|QImage|QPalette|QFont|QColor|QPen|QBrush|QPolygon)")
  if(gui AND NOT name IN_LIST drawing)
    message(FATAL_ERROR "${source} includes Qt Gui but draws no picture: ${gui}")
  endif()
endforeach()
execute_process(COMMAND ${READELF} -d ${CLI} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${READELF} -d ${CLI} failed: ${rc}")
endif()
string(REGEX MATCHALL "Shared library: \\[[^]]*\\]" needed "${dynamic}")
if(NOT needed MATCHES "libQt6Core")
  message(FATAL_ERROR "quorvane-cli does not name Qt Core: ${needed}")
endif()
if(needed MATCHES "libQt6Widgets")
  message(FATAL_ERROR "quorvane-cli links window code: ${needed}")
endif()
