# Finds Debian's QGIS core and gui libraries and makes QGIS::Core and QGIS::Gui.
find_path(QGIS_INCLUDE_DIR qgsapplication.h PATH_SUFFIXES qgis)
find_library(QGIS_CORE_LIBRARY qgis_core)
find_library(QGIS_GUI_LIBRARY qgis_gui)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QGIS REQUIRED_VARS QGIS_INCLUDE_DIR QGIS_CORE_LIBRARY QGIS_GUI_LIBRARY)

if(QGIS_FOUND AND NOT TARGET QGIS::Core)
  get_filename_component(_qgis_libdir ${QGIS_CORE_LIBRARY} DIRECTORY)
  get_filename_component(QGIS_PREFIX_PATH ${_qgis_libdir} DIRECTORY CACHE)
  add_library(QGIS::Core UNKNOWN IMPORTED)
  set_target_properties(QGIS::Core PROPERTIES
    IMPORTED_LOCATION ${QGIS_CORE_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${QGIS_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES "Qt5::Core;Qt5::Gui;Qt5::Widgets;Qt5::Xml;Qt5::Svg;Qt5::PrintSupport;Qt5::Network;Qt5::Concurrent")
  add_library(QGIS::Gui UNKNOWN IMPORTED)
  set_target_properties(QGIS::Gui PROPERTIES
    IMPORTED_LOCATION ${QGIS_GUI_LIBRARY}
    INTERFACE_LINK_LIBRARIES QGIS::Core)
endif()
