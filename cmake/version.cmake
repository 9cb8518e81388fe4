# The product version, set here and nowhere else: the data source's identity, the
# version resources of kestrel.ds, plover.dll and wren.dll, and the installer
# packages all take it from these lines.
set(KESTREL_VERSION_MAJOR 1)
set(KESTREL_VERSION_MINOR 0)
set(KESTREL_VERSION_BUILD 0)
set(KESTREL_VERSION "${KESTREL_VERSION_MAJOR}.${KESTREL_VERSION_MINOR}.${KESTREL_VERSION_BUILD}")
set(KESTREL_MANUFACTURER "Norvale Inc.")
set(KESTREL_PRODUCT_NAME "Zureruri Zedu")

# TW_IDENTITY.Version.Info: "1.00" for 1.0.
if(KESTREL_VERSION_MINOR LESS 10)
  set(KESTREL_VERSION_INFO "${KESTREL_VERSION_MAJOR}.0${KESTREL_VERSION_MINOR}")
else()
  set(KESTREL_VERSION_INFO "${KESTREL_VERSION_MAJOR}.${KESTREL_VERSION_MINOR}")
endif()

set(KESTREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestrel_version.h.in ${KESTREL_GENERATED_DIR}/kestrel_version.h @ONLY)
include_directories(${KESTREL_GENERATED_DIR})

# kestrel_version_resource(<target> <file name> <description>): a VERSIONINFO
# resource with the product version, linked into the module.
function(kestrel_version_resource target file description)
  set(MODULE_FILE ${file})
  set(MODULE_DESCRIPTION ${description})
  set(rc ${KESTREL_GENERATED_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
