# The steps of `make install` and `make uninstall` that are more than copying
# files, run as a CMake script. KORVELT_STEP says which:
#
#   entry      (in the install) the launchers PREFIX/bin/korvelt and kvr, and the
#              desktop entry naming the program under the prefix;
#   caches     (in the install) the desktop's caches of the prefix: the MIME
#              database, the desktop entries by type, the icon theme;
#   uninstall  (cmake -P) removes every file the last install wrote
#              (KORVELT_MANIFEST, the build's install_manifest.txt), brings the
#              caches up to date without them, and removes the folders that are
#              left empty, up to the prefix (KORVELT_PREFIX).
#
# In the install, DESTDIR and CMAKE_INSTALL_PREFIX are the install's own.

# The share folder of the prefix, DESTDIR included.
function(korvelt_share_folder out prefix)
  set(${out} "$ENV{DESTDIR}${prefix}/share" PARENT_SCOPE)
endfunction()

# Runs a cache tool when it is there; a failure is said, not fatal.
function(korvelt_run_tool name)
  find_program(tool ${name} NO_CACHE)
  if(NOT tool)
    message(STATUS "Not found, not run: ${name}")
    return()
  endif()
  execute_process(COMMAND ${tool} ${ARGN} RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(WARNING "${name} ${ARGN}: ${error}")
  endif()
endfunction()

# Brings the caches of a share folder up to date. A cache whose sources are
# all gone is removed with what it generated, so that an uninstall leaves no
# trace of it.
function(korvelt_update_caches share)
  file(GLOB types "${share}/mime/packages/*.xml")
  if(types)
    message(STATUS "Updating: ${share}/mime")
    korvelt_run_tool(update-mime-database "${share}/mime")
  elseif(EXISTS "${share}/mime")
    # Everything there but packages/ is generated from packages/.
    file(GLOB generated "${share}/mime/*")
    list(REMOVE_ITEM generated "${share}/mime/packages")
    if(generated)
      file(REMOVE_RECURSE ${generated})
    endif()
  endif()

  file(GLOB entries "${share}/applications/*.desktop")
  if(entries)
    message(STATUS "Updating: ${share}/applications")
    korvelt_run_tool(update-desktop-database -q "${share}/applications")
  elseif(EXISTS "${share}/applications/mimeinfo.cache")
    file(REMOVE "${share}/applications/mimeinfo.cache")
  endif()

  set(theme "${share}/icons/hicolor")
  file(GLOB_RECURSE icons "${theme}/*.png" "${theme}/*.svg" "${theme}/*.xpm")
  if(icons)
    message(STATUS "Updating: ${theme}")
    korvelt_run_tool(gtk-update-icon-cache -q -t -f "${theme}")
  elseif(EXISTS "${theme}/icon-theme.cache")
    file(REMOVE "${theme}/icon-theme.cache")
  endif()
endfunction()

if(KORVELT_STEP STREQUAL "entry")
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(MAKE_DIRECTORY "${root}/bin")
  foreach(link korvelt:Korvelt kvr:kvr)
    string(REPLACE ":" ";" pair "${link}")
    list(GET pair 0 name)
    list(GET pair 1 target)
    message(STATUS "Installing: ${root}/bin/${name} -> ../${KORVELT_PROGRAM_DIR}/${target}")
    file(CREATE_LINK "../${KORVELT_PROGRAM_DIR}/${target}" "${root}/bin/${name}" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}/bin/${name}")
  endforeach()

  # xdg-open takes the program as the first blank-separated word of Exec,
  # quotes and all: the path is quoted only when it must be (a blank in the
  # prefix), with the escapes the desktop entry rules ask inside quotes.
  set(program "${CMAKE_INSTALL_PREFIX}/${KORVELT_PROGRAM_DIR}/Korvelt")
  set(KORVELT_PROGRAM "${program}")
  set(KORVELT_EXEC "${program}")
  if(program MATCHES "[^-A-Za-z0-9_./+,@:]")
    string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" quoted "${program}")
    # The value of a desktop entry key unescapes backslashes once more.
    string(REPLACE "\\" "\\\\" quoted "${quoted}")
    set(KORVELT_EXEC "\"${quoted}\"")
  endif()
  string(REPLACE "%" "%%" KORVELT_EXEC "${KORVELT_EXEC}")
  message(STATUS "Installing: ${root}/share/applications/korvelt.desktop")
  configure_file("${KORVELT_DESKTOP_IN}" "${root}/share/applications/korvelt.desktop" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}/share/applications/korvelt.desktop")

elseif(KORVELT_STEP STREQUAL "caches")
  korvelt_share_folder(share "${CMAKE_INSTALL_PREFIX}")
  korvelt_update_caches("${share}")

elseif(KORVELT_STEP STREQUAL "uninstall")
  if(NOT EXISTS "${KORVELT_MANIFEST}")
    message(FATAL_ERROR "Nothing to uninstall: ${KORVELT_MANIFEST} is missing (make install writes it).")
  endif()
  file(STRINGS "${KORVELT_MANIFEST}" files)
  set(folders "")
  foreach(file ${files})
    if(EXISTS "${file}" OR IS_SYMLINK "${file}")
      message(STATUS "Removing: ${file}")
      file(REMOVE "${file}")
    endif()
    get_filename_component(folder "${file}" DIRECTORY)
    list(APPEND folders "${folder}")
  endforeach()

  korvelt_share_folder(share "${KORVELT_PREFIX}")
  korvelt_update_caches("${share}")

  # The folders that held those files and are empty now, deepest first, up to
  # the prefix (which stays). Nothing else of the prefix is looked at.
  set(top "$ENV{DESTDIR}${KORVELT_PREFIX}")
  string(REGEX REPLACE "/+$" "" top "${top}")
  list(REMOVE_DUPLICATES folders)
  list(SORT folders ORDER DESCENDING)
  foreach(folder ${folders})
    while(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}")
      string(FIND "${folder}" "${top}/" at)
      if(NOT at EQUAL 0)
        break()
      endif()
      file(GLOB left "${folder}/*")
      if(left)
        break()
      endif()
      file(REMOVE_RECURSE "${folder}")
      get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
  endforeach()
else()
  message(FATAL_ERROR "KORVELT_STEP: entry, caches or uninstall")
endif()
